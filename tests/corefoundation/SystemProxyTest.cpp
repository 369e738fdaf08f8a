// The Mac line asks the system which proxy serves the gateway and gives the stream an HTTPS proxy.
// The stand-in records the calls; a proxy where nothing listens shows that the stream went to it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Support.h"
#include "TestSupport.h"
#include "log/Log.h"
#include "transport/LineExchange.h"

namespace {

constexpr char kGateway[] = "https://secure.authorize.net:8443/ok?";

TEST(CFNetworkBackend, GivesTheStreamTheSystemsProxyForTheGateway) {
    const char* refusedPort = std::getenv("PGV_REFUSED_PORT");
    ASSERT_NE(refusedPort, nullptr) << "run the tests through tools/isolated-run";
    const std::string proxy = std::string("127.0.0.1:") + refusedPort;
    const std::string https =
        std::string("HTTPSEnable=1;HTTPSProxy=127.0.0.1;HTTPSPort=") + refusedPort;
    const struct {
        std::string settings;
        std::string proxyForUrl;  // as CFNetworkCopyProxiesForURL answered
        bool applied;
        std::string outcome;  // the answer, or the failure's text
        std::string logLine;  // what the log says of the proxy; empty: nothing
    } cases[] = {
        {"", "kCFProxyTypeNone", false, "ok", ""},
        {https, "kCFProxyTypeHTTPS " + proxy, true, "System failed connect",
         "Through the system's HTTPS proxy"},
        {https + ";ExceptionsList=*.local,*.authorize.net", "kCFProxyTypeNone", false, "ok", ""},
        {"HTTPSEnable=0;HTTPSProxy=127.0.0.1;HTTPSPort=" + std::string(refusedPort),
         "kCFProxyTypeNone", false, "ok", ""},
        {"ProxyAutoConfigEnable=1;ProxyAutoConfigURLString=http://wpad.example/proxy.pac;" + https,
         "kCFProxyTypeAutoConfigurationURL http://wpad.example/proxy.pac", false, "ok",
         "System proxy kCFProxyTypeAutoConfigurationURL not used; connecting directly"},
    };
    for (const auto& c : cases) {
        pgvtest::CTempDir dir;
        const std::string recordPath = dir.File("record");
        const CScopedVariable settings("PGV_CF_SYSTEM_PROXY", c.settings.c_str());
        const CScopedVariable record("PGV_CF_RECORD", recordPath.c_str());
        SHttpOutcome outcome;
        {
            Log log;
            log.SetLogFile(dir.File("exchange.log").c_str());
            log.Open(false);
            CLineExchange exchange(EHttpLine::Mac, &CreateCFNetworkBackend);
            SHttpRequest request;
            request.url = kGateway;
            request.timeoutSeconds = 5;
            outcome = exchange.Perform(request, log);
        }
        EXPECT_EQ(outcome.text, c.outcome) << c.settings;
        EXPECT_EQ(
            pgvtest::ReadFile(recordPath),
            "CFNetworkCopySystemProxySettings\n"
            "CFNetworkCopyProxiesForURL " +
                std::string(kGateway) + " " + c.proxyForUrl + "\n" +
                (c.applied ? "CFReadStreamSetProperty kCFStreamPropertyHTTPProxy " + proxy + "\n"
                           : ""))
            << c.settings;
        const std::string log = pgvtest::ReadFile(dir.File("exchange.log"));
        EXPECT_EQ(log.find(c.logLine.empty() ? "proxy" : c.logLine) != std::string::npos,
                  !c.logLine.empty())
            << c.settings << ":\n"
            << log;
    }
}

}  // namespace
