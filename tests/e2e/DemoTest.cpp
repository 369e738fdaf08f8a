// The demo scripts as scripts/demo runs them: a transaction a demo says goes to a gateway's test
// host must reach that host, not the live one the sandbox also plays.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Support.h"

namespace {

const std::set<std::string> kTestHosts = {"test.authorize.net", "pilot-payflowpro.paypal.com"};

std::string HostOf(const SReceivedRequest& request) {
    for (const std::string& header : request.headers) {
        if (header.rfind("Host: ", 0) == 0) {
            return header.substr(6);
        }
    }
    return "";
}

TEST(DemoEndToEnd, TransactionsLabelledTestHostReachATestHost) {
    size_t labelled = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PGV_DEMO_DIR)) {
        std::ifstream in(entry.path());
        std::string line;
        std::string portal;
        std::string block;
        bool testHost = false;
        // Each transaction is a paragraph of the script; the portal is the last one selected.
        const auto runBlock = [&] {
            if (testHost) {
                ++labelled;
                const size_t before = ReceivedRequests().size();
                const SHostRun run = RunHost(portal + "\n" + block);
                ASSERT_EQ(run.exitCode, 0) << run.errors;
                const std::vector<SReceivedRequest> requests = RequestsSince(before);
                ASSERT_FALSE(requests.empty()) << entry.path() << ":\n" << block;
                for (const SReceivedRequest& request : requests) {
                    EXPECT_EQ(kTestHosts.count(HostOf(request)), 1u)
                        << entry.path().filename() << " reached " << HostOf(request) << ":\n"
                        << block;
                }
            }
            block.clear();
            testHost = false;
        };
        while (std::getline(in, line)) {
            if (line.empty()) {
                runBlock();
                continue;
            }
            if (line.rfind("PGV_SelectPortal", 0) == 0) {
                portal = line;
            }
            testHost = testHost || (line[0] == '#' && line.find("test host") != std::string::npos);
            block += line + "\n";
        }
        runBlock();
    }
    EXPECT_GT(labelled, 0u);
}

}  // namespace
