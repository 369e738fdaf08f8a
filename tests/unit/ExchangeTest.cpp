#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ScriptedAnswer.h"
#include "transport/Exchange.h"

namespace {

// A platform that answers as scripted and records what the exchange asked of it.
class CScriptedSession : public pgvtest::CScriptedAnswer<CHttpSession> {
public:
    bool crackOk = true;
    SUrlParts url{"https", "gw.example", 443, "/pay?"};
    bool openOk = true;
    bool sendOk = true;

    std::vector<std::string> calls;
    std::string headers;
    std::string sentBody;
    int timeout = 0;

    bool CrackUrl(const std::string&, SUrlParts& parts) override {
        calls.push_back("crack");
        parts = url;
        return crackOk;
    }
    bool Open(const char* agent, int timeoutSeconds) override {
        calls.push_back(std::string("open ") + agent);
        timeout = timeoutSeconds;
        return openOk;
    }
    bool Connect(const std::string& host, int port) override {
        calls.push_back("connect " + host + ":" + std::to_string(port));
        return true;
    }
    bool OpenRequest(const char* method, const std::string& target, const char* version) override {
        calls.push_back(std::string(method) + " " + target + " " + version);
        return true;
    }
    void IgnoreRevocation() override { calls.push_back("revocation"); }
    void AddHeaders(const std::string& block) override { headers = block; }
    bool Send(const std::string& sent) override {
        sentBody = sent;
        return sendOk;
    }
};

pgvtest::SRun Exchange(CScriptedSession& session, int flags = kRequestEscape,
                       std::vector<std::string> headers = {}) {
    return pgvtest::RunLogged([&](Log& log, std::string& response) {
        const SExchange exchange{"https://gw.example/pay?", flags, std::move(headers), "a=1&b=2",
                                 7};
        return RunExchange(session, exchange, log, response);
    });
}

using S = CScriptedSession;

TEST(Exchange, OutcomeOfEachAnswer) {
    const struct {
        void (*script)(S&);
        bool ok;
        const char* response;
    } cases[] = {
        {[](S&) {}, true, "hello"},
        {[](S& s) { s.status = "206"; }, true, "hello"},
        {[](S& s) { s.status = "302"; }, false, "HTTP error302"},
        {[](S& s) { s.status = ""; }, false, "HTTP error"},
        {[](S& s) { s.url.scheme = "http"; }, false, "Invalid URL"},
        {[](S& s) { s.url.scheme = "HTTPS"; }, true, "hello"},
        {[](S& s) { s.crackOk = false; }, false, "Invalid URL"},
        {[](S& s) { s.openOk = false; }, false, "System failed connect"},
        {[](S& s) { s.sendOk = false; }, false, "System failed connect"},
        {[](S& s) { s.hasLength = false; }, false, "Error retrieving response size"},
        {[](S& s) { s.length = "-5"; }, false, "Error retrieving response size"},
        {[](S& s) { s.length = "5.0"; }, false, "Error retrieving response size"},
        {[](S& s) { s.length = " 5\t"; }, true, "hello"},
        {[](S& s) { s.length = "67108865"; }, false, "Unknown System Failure"},
        {[](S& s) { s.length = "999999999999999999999999"; }, false, "Unknown System Failure"},
        {[](S& s) { s.length = "0"; }, true, ""},
        {[](S& s) { s.length = "100"; }, true, "hello"},
        {[](S& s) { s.length = "4"; }, true, "hell"},
        {[](S& s) { s.body = std::string("ab\0cd", 5); }, true, "ab"},
        {[](S& s) { s.failReadAfter = 3; }, false, "Error reading response"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        S session;
        cases[i].script(session);
        const pgvtest::SRun run = Exchange(session);
        EXPECT_EQ(run.ok, cases[i].ok) << "case " << i;
        EXPECT_EQ(run.response, cases[i].response) << "case " << i;
        EXPECT_TRUE(session.closed) << "case " << i;
    }
}

TEST(Exchange, GetAndPostRequests) {
    S get;
    Exchange(get, kRequestEscape);
    EXPECT_EQ(get.calls,
              (std::vector<std::string>{"crack", "open Tenvale", "connect gw.example:443",
                                        "GET /pay?a=1&b=2 HTTP/1.0", "revocation"}));
    EXPECT_EQ(get.sentBody, "");
    EXPECT_EQ(get.timeout, 7);

    S post;
    Exchange(post, kRequestPost, {"X-One: 1", "X-Two: 2"});
    EXPECT_EQ(post.calls[3], "POST /pay? HTTP/1.0");
    EXPECT_EQ(post.sentBody, "a=1&b=2");
    EXPECT_EQ(post.headers,
              "X-One: 1\r\nX-Two: 2\r\nAccept: text/*\r\nUser-Agent: Tenvale Paygrove\r\n");

    S http;
    http.url.scheme = "http";
    Exchange(http);
    EXPECT_EQ(http.calls, std::vector<std::string>{"crack"}) << "refused before any connection";
}

TEST(Exchange, LogsEachStep) {
    S session;
    EXPECT_EQ(Exchange(session).log,
              "Opening connection to https://gw.example/pay?a=1&b=2\n"
              "  Opened - Got HTTP code 200\n"
              "  Response size = 5\n"
              "  Read response\n"
              "Closed connection\n");

    S refused;
    refused.status = "302";
    EXPECT_EQ(Exchange(refused).log,
              "Opening connection to https://gw.example/pay?a=1&b=2\n"
              "  Opened - Got HTTP code 302\n"
              "  **Error - HTTP error302\n"
              "Closed connection\n");

    S invalid;
    invalid.crackOk = false;
    EXPECT_EQ(Exchange(invalid).log, "**Error - Invalid URL\nClosed connection\n");
}

}  // namespace
