// Runs the built fmhost against the fake plug-in and compares what it prints.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out, errors;
};

std::string ReadFile(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// fmhost with the fake plug-in, the script on standard input.
Outcome RunFmhost(const std::string& options, const std::string& script) {
    const fs::path dir = fs::path(testing::TempDir()) /
                         testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(dir);
    std::ofstream(dir / "in", std::ios::binary) << script;
    const std::string command = "'" FMHOST_PATH "' --plugin '" FAKE_PLUGIN_PATH "' " + options +
                                " < '" + (dir / "in").string() + "' > '" + (dir / "out").string() +
                                "' 2> '" + (dir / "err").string() + "'";
    const int status = std::system(command.c_str());
    Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir / "out"),
                    ReadFile(dir / "err")};
    fs::remove_all(dir);
    return outcome;
}

TEST(Fmhost, JsonOutputIsOneObjectALine) {
    // A comment, a blank line, a CRLF line, letter case, an escape and an invalid UTF-8 byte.
    const Outcome outcome =
        RunFmhost("--json",
                  "# calls\n\nFake_Echo(\"a¶b\"; 12)\r\n"
                  "  fake_echo ( \"x\\\"y\" )\nFake_Echo(\"\xFF\")\nFake_Unset\n"
                  "Fake_Count(1; 2; 3; 4)\n");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_EQ(outcome.out, R"({"startup":51}
{"call":"Fake_Echo","args":["a\rb","12"],"error":0,"result":"12"}
{"call":"Fake_Echo","args":["x\"y"],"error":0,"result":"x\"y"}
{"call":"Fake_Echo","args":["�"],"error":0,"result":"�"}
{"call":"Fake_Unset","args":[],"error":42,"result":null}
{"call":"Fake_Count","args":["1","2","3","4"],"error":0,"result":"4"}
{"shutdown":true}
)");
    EXPECT_EQ(outcome.errors, "fake: init 51\nfake: shutdown\n");
}

TEST(Fmhost, StringsAsksForNameConfigurationAndOptions) {
    EXPECT_EQ(RunFmhost("--strings", "").out,
              "startup: 51\n128: Fakë 𝄞 Plugin\n129: \n131: Fake1nnYYnn\nshutdown\n");
}

// The register as the host holds it after start-up, before the script runs.
TEST(Fmhost, FunctionsListsWhatThePluginRegistered) {
    const struct {
        const char* options;
        const char* out;
    } cases[] = {
        {"--functions",
         "startup: 51\nfunction Fake_Echo \"Fake_Echo\" takes 1 to 2\n"
         "function Fake_Unset \"Fake_Unset\" takes 0\n"
         "function Fake_Count \"Fake_Count\" takes 1 or more\n"
         "Fake_Unset() = (not set) [error 42]\nshutdown\n"},
        {"--functions --json", R"({"startup":51}
{"function":"Fake_Echo","prototype":"Fake_Echo","minArgs":1,"maxArgs":2}
{"function":"Fake_Unset","prototype":"Fake_Unset","minArgs":0,"maxArgs":0}
{"function":"Fake_Count","prototype":"Fake_Count","minArgs":1,"maxArgs":-1}
{"call":"Fake_Unset","args":[],"error":42,"result":null}
{"shutdown":true}
)"},
        // A plug-in that refuses to start has registered nothing.
        {"--functions --interface-version 56", "startup: -1\nshutdown\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        EXPECT_EQ(RunFmhost(c.options, "Fake_Unset\n").out, c.out);
    }
}

TEST(Fmhost, RefusedStartupRunsNoCallsButShutsDown) {
    const std::string refusal =
        "fake: init -1\nfmhost: the plug-in refused to start (answer -1)\nfake: shutdown\n";
    std::string everyKind;
    for (const int kind : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 99}) {
        everyKind += "startup as kind " + std::to_string(kind) + ": -1\nshutdown\n";
    }
    const struct {
        std::string options;
        int status;
        std::string out;
        int refusals;
    } cases[] = {
        {"--interface-version 56", 3, "startup: -1\nshutdown\n", 1},
        // Walking the kinds, each refusal is an answer like any other.
        {"--interface-version 56 --every-app-kind", 0, everyKind, 12},
    };
    for (const auto& c : cases) {
        const Outcome outcome = RunFmhost(c.options, "Fake_Unset\n");
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.out, c.out);
        std::string errors;
        for (int i = 0; i < c.refusals; ++i) {
            errors += refusal;
        }
        EXPECT_EQ(outcome.errors, errors);
    }
}

TEST(Fmhost, AScriptErrorStopsAtItsLineAndStillShutsDown) {
    const struct {
        const char* call;
        const char* error;
    } cases[] = {{"Fake_Echo(1;2;3)", "Fake_Echo takes 1 to 2 parameters, not 3"},
                 {"Fake_Count", "Fake_Count takes 1 or more parameters, not 0"}};
    for (const auto& c : cases) {
        const Outcome outcome =
            RunFmhost("", "Fake_Unset\n" + std::string(c.call) + "\nFake_Echo(1)\n");
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.out, "startup: 51\nFake_Unset() = (not set) [error 42]\nshutdown\n");
        EXPECT_EQ(outcome.errors, "fake: init 51\nfmhost: <stdin>:2: " + std::string(c.error) +
                                      "\nfake: shutdown\n");
    }
}

}  // namespace
