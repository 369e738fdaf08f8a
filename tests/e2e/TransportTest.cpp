// The exchange against odd HTTP answers: the sandbox's test listener answers by path, and the
// Authorize.Net URL override points the plug-in at it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Support.h"

namespace {

struct SSend {
    std::string sent;     // what PGV_SendTransaction returned
    std::string all;      // the result "all"
    std::string error;    // the result "error"
    std::string status;   // "pgv.status"
    std::string message;  // "pgv.message"
};

SSend SendTo(const std::string& url, const std::string& timeout = "") {
    const std::string script =
        "PGV_SelectPortal ( \"AUTHNET\" )\nPGV_SetParameters ( " +
        Quoted("_hostname=" + url + "|x_amount=1.00") + " )\nPGV_SendTransaction ( " + timeout +
        " )\nPGV_GetResult ( \"all\" )\nPGV_GetResult ( \"error\" )\n"
        "PGV_GetResult ( \"pgv.status\" )\nPGV_GetResult ( \"pgv.message\" )\n";
    const SHostRun run = RunHost(script);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    return {run.Result(2).value_or("(unset)"), run.Result(3).value_or("(unset)"),
            run.Result(4).value_or("(unset)"), run.Result(5).value_or("(unset)"),
            run.Result(6).value_or("(unset)")};
}

std::string OddUrl(const std::string& path) {
    return "https://secure.authorize.net:" + std::to_string(OddPort()) + path + "?";
}

constexpr char kNoResult[] = "Error - no result obtained";
constexpr char kFailed[] = "Unable to connect to the portal";
constexpr char kMayHaveBeenSent[] = "No answer in time; the request may have been sent";

TEST(TransportEndToEnd, OddAnswers) {
    struct SCase {
        std::string path;
        std::string sent;
        std::string all;
        std::string error;
    };
    const SCase cases[] = {
        {"/ok", "1", "ok", kNoResult},
        {"/status/206", "1", "odd 206", kNoResult},
        // Every answer that cannot be read says the gateway may hold the request.
        {"/status/302", kMayHaveBeenSent, kNoResult, "HTTP error302"},
        {"/status/500", kMayHaveBeenSent, kNoResult, "HTTP error500"},
        {"/chunked", kMayHaveBeenSent, kNoResult, "Error retrieving response size"},
        // A body cut short is a failure on every line; the Mac line's stream also reports an
        // unreadable length as one.
        {"/short", kMayHaveBeenSent, kNoResult, "Error reading response"},
        {"/long", "1", "hello", kNoResult},
        {"/zero", "1", "", kNoResult},
        {"/nul", "1", "abc", kNoResult},
        {"/length/-5", kMayHaveBeenSent, kNoResult,
         OnMacLine() ? "System failed connect" : "Error retrieving response size"},
        {"/length/abc", kMayHaveBeenSent, kNoResult,
         OnMacLine() ? "System failed connect" : "Error retrieving response size"},
        {"/length/67108865", kMayHaveBeenSent, kNoResult, "Unknown System Failure"},
        {"/length/99999999999", kMayHaveBeenSent, kNoResult, "Unknown System Failure"},
    };
    for (const SCase& c : cases) {
        const SSend send = SendTo(OddUrl(c.path));
        EXPECT_EQ(send.sent, c.sent) << c.path;
        EXPECT_EQ(send.all, c.all) << c.path;
        EXPECT_EQ(send.error, c.error) << c.path;
        // None of these answers is one Authorize.Net would give; a failed exchange's message
        // is its error.
        EXPECT_EQ(send.status, "error") << c.path;
        EXPECT_EQ(send.message, c.sent == "1" ? "" : c.error) << c.path;
    }
}

TEST(TransportEndToEnd, RequestShapeOnTheWire) {
    const size_t before = ReceivedRequests().size();
    SendTo(OddUrl("/ok"));
    const std::vector<SReceivedRequest> requests = RequestsSince(before);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine,
              "GET /ok?x_amount=1.00&x_delim_char=%2C&x_delim_data=True&x_encap_char=%7C&"
              "x_relay_response=False " +
                  HttpVersion());
    EXPECT_EQ(requests[0].headers,
              ExpectedHeaders("secure.authorize.net:" + std::to_string(OddPort())));
}

TEST(TransportEndToEnd, RefusedBeforeAnyRequest) {
    struct SCase {
        std::string url;
        std::string error;
    };
    const SCase cases[] = {
        {"http://secure.authorize.net/gateway/transact.dll?", "Invalid URL"},
        {"ftp://secure.authorize.net/gateway/transact.dll?", "Invalid URL"},
        {"not a url", "Invalid URL"},
        // Certificates are verified: this name is not on the sandbox's certificate.
        {"https://localhost/gateway/transact.dll?", "System failed connect"},
        // Nothing listens there.
        {"https://secure.authorize.net:9/gateway/transact.dll?", "System failed connect"},
    };
    for (const SCase& c : cases) {
        const size_t before = ReceivedRequests().size();
        const SSend send = SendTo(c.url);
        EXPECT_EQ(send.sent, kFailed) << c.url;
        EXPECT_EQ(send.error, c.error) << c.url;
        EXPECT_EQ(RequestsSince(before).size(), 0u) << c.url;
    }
}

// The time runs out after the request went out: every line says it may have been sent.
TEST(TransportEndToEnd, TimeoutBoundsTheExchange) {
    const SSend stalled = SendTo(OddUrl("/stall"), "2");
    EXPECT_EQ(stalled.sent, kMayHaveBeenSent);
    EXPECT_EQ(stalled.error, kMayHaveBeenSent);
    const SSend slow = SendTo(OddUrl("/slow"), "3");
    EXPECT_EQ(slow.sent, kMayHaveBeenSent);
    EXPECT_EQ(slow.error, "Error reading response");
}

// Transactions of one host process, each to `url` in turn; then what each answered, and whether
// the sandbox saw each one's request.
struct SStep {
    std::string url;
    std::string all;    // "all" after a success
    std::string error;  // "error" after a failure; empty for a success
    // Whether its connection resumes the TLS session of one before it. The Linux build keeps
    // sessions for the process; what Schannel and CFNetwork keep is theirs, and not asked here.
    bool resumed = false;
};

TEST(TransportEndToEnd, EveryConnectionVerifiesItsCertificate) {
    const std::string gatewayName = "https://secure.authorize.net:" + std::to_string(OddPort());
    const std::string rotating =
        "https://secure.authorize.net:" + std::to_string(ListenerPort("PGV_ROTATING_PORT"));
    const struct {
        const char* name;
        std::vector<SStep> steps;
    } cases[] = {
        // Each transaction makes a new connection, which takes up the session of the one before.
        {"the same host again",
         {{gatewayName + "/ok?", "ok", ""},
          {gatewayName + "/ok?", "ok", "", true},
          {gatewayName + "/ok?", "ok", "", true}}},
        // A session the first connection left must not carry the second past its host name.
        {"a session resumed under another name",
         {{gatewayName + "/ok?", "ok", ""},
          {"https://localhost:" + std::to_string(OddPort()) + "/ok?", "",
           "System failed connect"}}},
        // A server that restarted under a certificate nobody trusts, with new session-ticket
        // keys, is refused although the process has talked to it before.
        {"a certificate that became untrusted",
         {{OddUrl("/certificate/original"), "original", ""},
          {rotating + "/ok?", "ok", ""},
          {OddUrl("/certificate/rotated"), "rotated", "", true},
          {rotating + "/ok?", "", "System failed connect"},
          {OddUrl("/certificate/original"), "original", "", true}}},
    };
    for (const auto& c : cases) {
        std::string script = "PGV_SelectPortal ( \"AUTHNET\" )\n";
        for (const SStep& step : c.steps) {
            script += "PGV_BeginTransaction\nPGV_SetParameters ( " +
                      Quoted("_hostname=" + step.url + "|x_amount=1.00") +
                      " )\nPGV_SendTransaction ( 5 )\nPGV_GetResult ( \"all\" )\n"
                      "PGV_GetResult ( \"error\" )\n";
        }
        const size_t before = ReceivedRequests().size();
        const SHostRun run = RunHost(script);
        EXPECT_EQ(run.exitCode, 0) << c.name << ": " << run.errors;
        size_t answered = 0;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const SStep& step = c.steps[i];
            // After the portal's call, five calls a step: begin, parameters, send, all, error.
            const size_t send = 1 + i * 5 + 2;
            const bool ok = step.error.empty();
            answered += ok ? 1 : 0;
            EXPECT_EQ(run.Result(send), ok ? "1" : kFailed) << c.name << ", step " << i;
            EXPECT_EQ(run.Result(send + 1).value_or("(unset)"), ok ? step.all : kNoResult)
                << c.name << ", step " << i;
            EXPECT_EQ(run.Result(send + 2).value_or("(unset)"), ok ? kNoResult : step.error)
                << c.name << ", step " << i;
        }
        const std::vector<SReceivedRequest> requests = RequestsSince(before);
        EXPECT_EQ(requests.size(), answered) << c.name;
        for (size_t i = 0, request = 0; i < c.steps.size() && request < requests.size(); ++i) {
            if (!c.steps[i].error.empty()) {
                continue;
            }
            if (!OnWindows() && !OnMacLine()) {
                EXPECT_EQ(requests[request].resumed, c.steps[i].resumed)
                    << c.name << ", step " << i;
            }
            ++request;
        }
    }
}

// The system's CA bundle without the runner's test CA, the last certificate in it, for as long as
// the object lives.
class CTestCaRemoved {
public:
    CTestCaRemoved() : m_Original(ReadFile(kBundle)) {}
    ~CTestCaRemoved() { WriteFile(kBundle, m_Original); }
    CTestCaRemoved(const CTestCaRemoved&) = delete;
    CTestCaRemoved& operator=(const CTestCaRemoved&) = delete;

    void Remove() const {
        WriteFile(kBundle, m_Original.substr(0, m_Original.rfind("-----BEGIN CERTIFICATE-----")));
    }

private:
    static constexpr char kBundle[] = "/etc/ssl/certs/ca-certificates.crt";
    const std::string m_Original;
};

// Whether the sandbox has received a request carrying the invoice number `tag`.
bool ReceivedTagged(const std::string& tag) {
    for (const SReceivedRequest& request : ReceivedRequests()) {
        if (request.requestLine.find("x_invoice_num=" + tag + "&") != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The Linux line keeps TLS sessions for the process. A resumed session skips the certificate
// check, so when the trust store is read again, as after an administrator removed an authority,
// every session kept goes with the store it was made under.
TEST(TransportEndToEnd, ATrustStoreReadAgainDropsEveryKeptSession) {
    if (OnWindows() || OnMacLine()) {
        GTEST_SKIP() << "only the Linux line keeps TLS sessions of its own";
    }
    const std::string ok = OddUrl("/ok");
    const std::vector<std::pair<std::string, std::string>> steps = {
        {ok, "trust-1"}, {ok, "trust-2"}, {OddUrl("/stall"), "trust-3"}, {ok, "trust-4"}};
    std::string script = "PGV_SelectPortal ( \"AUTHNET\" )\n";
    for (const auto& [url, tag] : steps) {
        script += "PGV_BeginTransaction\nPGV_SetParameters ( " +
                  Quoted("_hostname=" + url + "|x_amount=1.00|x_invoice_num=" + tag) +
                  " )\nPGV_SendTransaction ( 2 )\nPGV_GetResult ( \"error\" )\n";
    }
    const CTestCaRemoved bundle;
    // The authority goes while the third transaction waits for its answer.
    std::atomic<bool> removedInTime{false};
    std::thread remover([&bundle, &removedInTime] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!ReceivedTagged("trust-3") && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        removedInTime = ReceivedTagged("trust-3");
        bundle.Remove();
    });
    const size_t before = ReceivedRequests().size();
    const SHostRun run = RunHost(script);
    remover.join();
    ASSERT_TRUE(removedInTime) << "the third transaction never reached the sandbox";
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    // Four calls a step after the portal's: begin, parameters, send, error.
    const auto send = [](size_t step) { return 1 + step * 4 + 2; };
    EXPECT_EQ(run.Result(send(0)), "1");
    EXPECT_EQ(run.Result(send(1)), "1");
    EXPECT_EQ(run.Result(send(2)), kMayHaveBeenSent);
    EXPECT_EQ(run.Result(send(3)), kFailed);
    EXPECT_EQ(run.Result(send(3) + 1), "System failed connect");
    const std::vector<SReceivedRequest> requests = RequestsSince(before);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(requests[1].resumed);
    EXPECT_FALSE(ReceivedTagged("trust-4"));
}

}  // namespace
