#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ScriptedAnswer.h"
#include "transport/Exchange.h"

namespace {

// A Mac platform that answers as scripted and records what the exchange asked of it.
class CScriptedUrlSession : public pgvtest::CScriptedAnswer<CUrlHttpSession> {
public:
    bool urlOk = true;
    bool requestOk = true;
    bool streamOk = true;
    bool sendOk = true;

    std::vector<std::string> calls;
    std::vector<std::string> headers;
    std::string sentBody;
    int timeout = 0;

    bool SetUrl(const std::string& url) override {
        calls.push_back("url " + url);
        return urlOk;
    }
    bool CreateRequest(const char* method) override {
        calls.push_back(std::string("request ") + method);
        return requestOk;
    }
    void SetHeader(const std::string& name, const std::string& value) override {
        headers.push_back(name + "|" + value);
    }
    bool CreateStream(const std::string& sent, int timeoutSeconds) override {
        calls.push_back("stream");
        sentBody = sent;
        timeout = timeoutSeconds;
        return streamOk;
    }
    bool Send() override {
        calls.push_back("send");
        return sendOk;
    }
};

pgvtest::SRun Exchange(CScriptedUrlSession& session, int flags = kRequestEscape,
                       std::vector<std::string> headers = {},
                       const char* url = "https://gw.example/pay?") {
    return pgvtest::RunLogged([&](Log& log, std::string& response) {
        const SExchange exchange{url, flags, std::move(headers), "a=1&b=2", 7};
        return RunMacExchange(session, exchange, log, response);
    });
}

using S = CScriptedUrlSession;

TEST(MacExchange, OutcomeOfEachAnswer) {
    const struct {
        void (*script)(S&);
        bool ok;
        const char* response;
    } cases[] = {
        {[](S&) {}, true, "hello"},
        {[](S& s) { s.status = "206"; }, true, "hello"},
        {[](S& s) { s.status = "404"; }, false, "HTTP error404"},
        {[](S& s) { s.urlOk = false; }, false, "Invalid URL"},
        {[](S& s) { s.requestOk = false; }, false, "System failed connect"},
        {[](S& s) { s.streamOk = false; }, false, "System failed connect"},
        {[](S& s) { s.sendOk = false; }, false, "System failed connect"},
        {[](S& s) { s.hasLength = false; }, false, "Error retrieving response size"},
        {[](S& s) { s.length = "67108865"; }, false, "Unknown System Failure"},
        {[](S& s) { s.length = "0"; }, true, ""},
        {[](S& s) { s.length = "1"; }, true, "h"},
        {[](S& s) { s.failReadAfter = 2; }, false, "Error reading response"},
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

TEST(MacExchange, OnlyHttpsUrlsAreTried) {
    const struct {
        const char* url;
        bool tried;
    } cases[] = {
        {"https://gw.example/pay?", true}, {"HTTPS://gw.example/pay?", true},
        {"http://gw.example/pay?", false}, {"gw.example/pay?", false},
        {"ftps://gw.example/", false},
    };
    for (const auto& c : cases) {
        S session;
        const pgvtest::SRun run = Exchange(session, kRequestEscape, {}, c.url);
        EXPECT_EQ(!session.calls.empty(), c.tried) << c.url;
        EXPECT_EQ(run.ok, c.tried) << c.url;
    }
}

TEST(MacExchange, GetAndPostRequests) {
    S get;
    Exchange(get, kRequestEscape);
    EXPECT_EQ(get.calls, (std::vector<std::string>{"url https://gw.example/pay?a=1&b=2",
                                                   "request GET", "stream", "send"}));
    EXPECT_EQ(get.sentBody, "");
    EXPECT_EQ(get.timeout, 7);

    S post;
    Exchange(post, kRequestPost);
    EXPECT_EQ(post.calls[0], "url https://gw.example/pay?");
    EXPECT_EQ(post.calls[1], "request POST");
    EXPECT_EQ(post.sentBody, "a=1&b=2");
}

TEST(MacExchange, HeaderLinesSplitAtTheFirstColon) {
    S session;
    const pgvtest::SRun run =
        Exchange(session, kRequestPost,
                 {"X-VPS-VIT-OS-NAME: Max OS X", "X-Time:12", "X-Url: https://a:1/", "X-A:b: c",
                  "No separator", "X-Empty: "});
    EXPECT_EQ(session.headers,
              (std::vector<std::string>{"X-VPS-VIT-OS-NAME|Max OS X", "X-Url|https://a:1/",
                                        "X-A|: c", "X-Empty|", "User-Agent|Tenvale Paygrove"}));
    EXPECT_EQ(run.log.find("Name=X-VPS-VIT-OS-NAME-Value=Max OS X\n"), 0u);
    EXPECT_NE(run.log.find("\nName=User-Agent-Value=Tenvale Paygrove\nOpening connection\n"),
              std::string::npos);
}

TEST(MacExchange, LogsEachStep) {
    const struct {
        void (*script)(S&);
        const char* log;
    } cases[] = {
        {[](S&) {},
         "Name=User-Agent-Value=Tenvale Paygrove\n"
         "Opening connection\n"
         "  Opened - Got HTTP code 200\n"
         "  Response size = 5\n"
         "  Read response\n"
         "Closed connection\n"},
        {[](S& s) { s.requestOk = false; },
         "Error creating HTTPMessageRequest\n"
         "**Error - System failed connect\n"
         "Closed connection\n"},
        {[](S& s) { s.streamOk = false; },
         "Name=User-Agent-Value=Tenvale Paygrove\n"
         "Error creating HTTPMessageRequest stream\n"
         "**Error - System failed connect\n"
         "Closed connection\n"},
        {[](S& s) { s.urlOk = false; }, "**Error - Invalid URL\nClosed connection\n"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        S session;
        cases[i].script(session);
        EXPECT_EQ(Exchange(session).log, cases[i].log) << "case " << i;
    }
}

}  // namespace
