// Runs the built fmhost against the fake plug-in and compares what it prints.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

struct Outcome {
    int status = -1;
    Lines lines;
    std::string errors;
};

std::string Quoted(const fs::path& word) {
    return "'" + word.string() + "'";
}

std::string ReadFile(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

class Fmhost : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(testing::TempDir()) /
               ("fmhost_" +
                std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return dir_ / name;
    }

    // fmhost with the fake plug-in unless the options name one, the script on standard input.
    Outcome Run(const std::string& options, const std::string& script,
                const fs::path& program = FMHOST_PATH) {
        const bool ownPlugin = options.find("--plugin") != std::string::npos;
        const std::string command = Quoted(program) +
                                    (ownPlugin ? "" : " --plugin " + Quoted(FAKE_PLUGIN_PATH)) +
                                    " " + options + " < " + Quoted(Write("stdin", script)) + " > " +
                                    Quoted(dir_ / "out") + " 2> " + Quoted(dir_ / "err");
        const int status = std::system(command.c_str());
        Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, {}, ReadFile(dir_ / "err")};
        std::istringstream out(ReadFile(dir_ / "out"));
        for (std::string line; std::getline(out, line);) {
            outcome.lines.push_back(line);
        }
        return outcome;
    }

    fs::path dir_;
};

// A comment, a blank line, a CRLF line, letter case, an escape and an invalid UTF-8 byte.
const char kScript[] =
    "# calls\n\nFake_Echo(\"a¶b\"; 12)\r\n  fake_echo ( \"x\\\"y\" )\nFake_Echo(\"\xFF\")\n"
    "Fake_Unset\n";

TEST_F(Fmhost, JsonOutputIsOneObjectALine) {
    const Outcome outcome = Run("--json", kScript);
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_EQ(outcome.lines,
              (Lines{R"({"startup":51})",
                     R"({"call":"Fake_Echo","args":["a\rb","12"],"error":0,"result":"a\rb12"})",
                     R"({"call":"Fake_Echo","args":["x\"y"],"error":0,"result":"x\"y"})",
                     R"({"call":"Fake_Echo","args":["�"],"error":0,"result":"�"})",
                     R"({"call":"Fake_Unset","args":[],"error":42,"result":null})",
                     R"({"shutdown":true})"}));
    EXPECT_EQ(outcome.errors, "fake: init 51\nfake: shutdown\n");
}

TEST_F(Fmhost, PlainOutputQuotesTextsTheWayTheScriptDoes) {
    const Outcome outcome = Run(Quoted(Write("calls.txt", kScript)), "");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_EQ(outcome.lines,
              (Lines{"startup: 51", R"(Fake_Echo("a¶b"; "12") = "a¶b12" [error 0])",
                     R"(Fake_Echo("x\"y") = "x\"y" [error 0])", R"(Fake_Echo("�") = "�" [error 0])",
                     "Fake_Unset() = (not set) [error 42]", "shutdown"}));
}

TEST_F(Fmhost, StringsAsksForNameConfigurationAndOptions) {
    EXPECT_EQ(
        Run("--strings", "Fake_Unset\n").lines,
        (Lines{"startup: 51", "128: Fakë 𝄞 Plugin", "129: ", "131: Fake1nnYYnn", "shutdown"}));
    EXPECT_EQ(Run("--strings --json", "").lines,
              (Lines{R"({"startup":51})", R"({"string":128,"text":"Fakë 𝄞 Plugin"})",
                     R"({"string":129,"text":""})", R"({"string":131,"text":"Fake1nnYYnn"})",
                     R"({"shutdown":true})"}));
}

TEST_F(Fmhost, RefusedStartupRunsNoCallsButShutsDown) {
    for (const std::string options : {"--app-kind 3", "--interface-version 56"}) {
        SCOPED_TRACE(options);
        const Outcome outcome = Run(options + " --json", "Fake_Unset\n");
        EXPECT_EQ(outcome.status, 3);
        EXPECT_EQ(outcome.lines, (Lines{R"({"startup":-1})", R"({"shutdown":true})"}));
        EXPECT_NE(outcome.errors.find("fmhost: the plug-in refused to start (answer -1)\n"),
                  std::string::npos);
        EXPECT_NE(outcome.errors.find("fake: shutdown"), std::string::npos);
    }
}

TEST_F(Fmhost, ScriptErrorsStopAtTheLineAndStillShutDown) {
    const std::pair<std::string, std::string> cases[] = {
        {"Nope(1)", "<stdin>:2: unknown function Nope"},
        {"Fake_Echo(1;2;3)", "<stdin>:2: Fake_Echo takes 1 to 2 parameters, not 3"},
        {"Fake_Echo", "<stdin>:2: Fake_Echo takes 1 to 2 parameters, not 0"},
        {"Fake_Unset(1)", "<stdin>:2: Fake_Unset takes 0 parameters, not 1"},
        {R"(Fake_Echo("a")", "<stdin>:2: missing \")\""},
        {R"(Fake_Echo("a\x"))", R"(<stdin>:2: bad escape \ followed by "x" in a text)"},
    };
    for (const auto& [line, error] : cases) {
        SCOPED_TRACE(line);
        const Outcome outcome = Run("", "Fake_Echo(1)\n" + line + "\nFake_Unset\n");
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.lines,
                  (Lines{"startup: 51", R"(Fake_Echo("1") = "1" [error 0])", "shutdown"}));
        EXPECT_EQ(outcome.errors, "fake: init 51\nfmhost: " + error + "\nfake: shutdown\n");
    }
}

TEST_F(Fmhost, ProblemsBeforeStartupStartNothing) {
    const std::pair<std::string, std::string> cases[] = {
        {"--plugin /nonexistent/Missing.fmx", "cannot load plug-in /nonexistent/Missing.fmx: "},
        {"--plugin " + Quoted(FMWRAPPER_PATH), "has no FMExternCallProc"},
        {"/nonexistent/script.txt", "cannot open script /nonexistent/script.txt: "},
        {"--bogus", "unknown option --bogus"},
        {"--app-kind 256", R"(--app-kind needs a whole number from 0 to 255, not "256")"},
        {"--interface-version x", "--interface-version needs a whole number"},
        {"--plugin", "--plugin needs a value"},
        {"a.txt b.txt", "more than one script: a.txt and b.txt"},
        {"--strings a.txt", "--strings reads no script"},
    };
    for (const auto& [options, error] : cases) {
        SCOPED_TRACE(options);
        const Outcome outcome = Run(options, "Fake_Unset\n");
        EXPECT_EQ(outcome.status, 2);
        EXPECT_TRUE(outcome.lines.empty());
        EXPECT_EQ(outcome.errors.rfind("fmhost: ", 0), 0u) << outcome.errors;
        EXPECT_NE(outcome.errors.find(error), std::string::npos) << outcome.errors;
        EXPECT_EQ(outcome.errors.find("fake: init"), std::string::npos);
    }
}

TEST_F(Fmhost, LoadsPaygroveFromItsOwnFolderByDefault) {
    fs::copy_file(FMHOST_PATH, dir_ / "fmhost");
    fs::copy_file(FMWRAPPER_PATH, dir_ / fs::path(FMWRAPPER_PATH).filename());
    fs::copy_file(FAKE_PLUGIN_PATH, dir_ / "Paygrove.fmx");
    const Outcome outcome = Run("", "Fake_Echo(1)\n", dir_ / "fmhost");
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_EQ(outcome.lines,
              (Lines{"startup: 51", R"(Fake_Echo("1") = "1" [error 0])", "shutdown"}));
}

}  // namespace
