// The plug-in as the host loads it: its exports, its start-up log and its strings.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "Support.h"

namespace {

TEST(HostEndToEnd, ExportsOnlyTheEntryPoint) {
    EXPECT_EQ(ExportedFunctions(BinDir() / PluginFileName()), "FMExternCallProc\n");
}

TEST(HostEndToEnd, ProcessLogOnlyWhenItsFileIsThere) {
    CTempDir dir;
    const auto plugin = dir.Path() / PluginFileName();
    std::filesystem::copy_file(BinDir() / PluginFileName(), plugin);

    RunHost("PGV_Version\n", {"--plugin", plugin.string()});
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "Quilla.log"));

    WriteFile(dir.Path() / "Quilla.log", LogLineEnds("earlier run\n"));
    const SHostRun run = RunHost("PGV_Version\n", {"--plugin", plugin.string()});
    EXPECT_EQ(run.Result(0), "Paygrove 5.1");
    const std::string stamp = "[0-9]{2}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} : ";
    EXPECT_THAT(ReadFile(dir.Path() / "Quilla.log"),
                ::testing::MatchesRegex(
                    LogLineEnds("earlier run\n" + stamp + "\\*\\*Log started\\*\\*\n" + stamp +
                                "Product: Paygrove 5\\.2\n" + stamp + "Is FM server = No\n" +
                                stamp + "Shutting down plugin\n")));
}

// Only the desktop application starts the plug-in: the developer edition, FileMaker Pro and a
// runtime solution. Every other kind the SDK names, FileMaker Server's processes and the tools, and
// a kind it does not name are refused; the process log says which it was.
TEST(HostEndToEnd, OnlyTheDesktopApplicationStartsIt) {
    CTempDir dir;
    const auto plugin = dir.Path() / PluginFileName();
    std::filesystem::copy_file(BinDir() / PluginFileName(), plugin);
    const struct {
        std::vector<std::string> options;
        std::vector<std::string> sessions;  // each as kind, start-up answer and calls made
        std::vector<std::string> logged;
        int exitCode;
    } cases[] = {
        {{"--every-app-kind"},
         {"0 51 1", "1 51 1", "2 51 1", "3 -2 0", "4 -2 0", "5 -2 0", "6 -2 0", "7 -2 0", "8 -2 0",
          "9 -2 0", "11 -2 0", "99 -2 0"},
         {"No", "No", "No", "Yes", "Yes", "Yes", "Yes", "Yes", "Yes", "Yes", "Yes", "Yes"},
         0},
        {{"--app-kind", "42"}, {"? -2 0"}, {"Yes"}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.front());
        WriteFile(dir.Path() / "Quilla.log", "");
        std::vector<std::string> args = {"--plugin", plugin.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const SHostRun run = RunHost("PGV_Version\n", args);
        std::vector<std::string> sessions;
        int calls = 0;
        for (const std::string& line : run.lines) {
            const nlohmann::ordered_json json = Json(line);
            if (json.contains("startup")) {
                const std::string kind = json.contains("kind") ? json["kind"].dump() : "?";
                sessions.push_back(kind + " " + json["startup"].dump());
                calls = 0;
            } else if (json.contains("call")) {
                ++calls;
            } else if (json.contains("shutdown") && !sessions.empty()) {
                sessions.back() += " " + std::to_string(calls);
            }
        }
        EXPECT_EQ(sessions, c.sessions) << run.errors;
        EXPECT_EQ(run.exitCode, c.exitCode);
        std::vector<std::string> logged;
        std::istringstream log(ReadFile(dir.Path() / "Quilla.log"));
        const std::string serverLine = "Is FM server = ";
        for (std::string line; std::getline(log, line);) {
            const size_t at = line.find(serverLine);
            if (at != std::string::npos) {
                std::string answer = line.substr(at + serverLine.size());
                if (!answer.empty() && answer.back() == '\r') {
                    answer.pop_back();
                }
                logged.push_back(answer);
            }
        }
        EXPECT_EQ(logged, c.logged);
    }
}

// A user who turns the plug-in off and on in FileMaker's preferences: the same process shuts it
// down and starts it again. It comes back whole, its log reopened, and nothing of the earlier
// transaction, the card number least of all, is left to read.
TEST(HostEndToEnd, OffAndOnAgainStartsFromNothing) {
    CTempDir dir;
    const auto plugin = dir.Path() / PluginFileName();
    std::filesystem::copy_file(BinDir() / PluginFileName(), plugin);
    WriteFile(dir.Path() / "Quilla.log", "");
    const std::string script =
        "PGV_GetResult ( \"x_card_num\" )\nPGV_BeginTransaction\n" +
        TransactionScript("AUTHNET",
                          "x_login=demo1234|x_tran_key=7xKey9000|x_version=3.1|x_amount=1.00|"
                          "x_card_num=4111111111111111|x_exp_date=1230",
                          {"pgv.status"});

    const SHostRun run = RunHost(script, {"--plugin", plugin.string(), "--off-and-on"});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const size_t calls = 7;
    ASSERT_EQ(run.lines.size(), 2 * (calls + 2));
    for (const size_t session : {size_t{0}, calls + 2}) {
        EXPECT_EQ(Json(run.lines[session]), Json(R"({"startup":51})"));
        EXPECT_EQ(
            Json(run.lines[session + 1]),
            Json(R"({"call":"PGV_GetResult","args":["x_card_num"],"error":1,"result":null})"));
        EXPECT_EQ(Json(run.lines[session + 2]),
                  Json(R"({"call":"PGV_BeginTransaction","args":[],"error":1,"result":null})"));
        EXPECT_EQ(Json(run.lines[session + calls])["result"], "approved");
        EXPECT_EQ(Json(run.lines[session + calls + 1]), Json(R"({"shutdown":true})"));
    }
    const std::string log = ReadFile(dir.Path() / "Quilla.log");
    EXPECT_THAT(log,
                ::testing::MatchesRegex("(.*Log started.*Product: .*Shutting down plugin.*){2}"));
}

}  // namespace
