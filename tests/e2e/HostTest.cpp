// The plug-in as the host loads it: its exports, its start-up log and its strings.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

TEST(HostEndToEnd, ServerHostIsRefused) {
    const SHostRun run = RunHost("PGV_Version\n", {"--app-kind", "3"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(Json(run.lines.front()), Json(R"({"startup":-2})"));
}

}  // namespace
