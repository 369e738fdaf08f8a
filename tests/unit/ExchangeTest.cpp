#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gateway/AuthBase.h"
#include "transport/Exchange.h"

namespace {

// A platform that answers as scripted and records what the exchange asked of it.
class CScriptedSession : public CHttpSession {
public:
    bool crackOk = true;
    SUrlParts url{"https", "gw.example", 443, "/pay?"};
    bool openOk = true;
    bool sendOk = true;
    std::string status = "200";
    bool hasLength = true;
    std::string length = "5";
    std::string body = "hello";
    long failReadAfter = -1;  // bytes after which a read fails; -1: never

    std::vector<std::string> calls;
    std::string target;
    std::string method;
    std::string headers;
    std::string sentBody;
    int timeout = 0;
    bool closed = false;

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
    bool OpenRequest(const char* m, const std::string& t, const char* version) override {
        calls.push_back(std::string("request ") + version);
        method = m;
        target = t;
        return true;
    }
    void IgnoreRevocation() override { calls.push_back("revocation"); }
    void AddHeaders(const std::string& block) override { headers = block; }
    bool Send(const std::string& b) override {
        sentBody = b;
        return sendOk;
    }
    bool QueryStatusCode(std::string& code) override {
        code = status;
        return true;
    }
    bool QueryContentLength(std::string& text) override {
        text = length;
        return hasLength;
    }
    long Read(char* buffer, size_t size) override {
        if (failReadAfter >= 0 && m_Position >= static_cast<size_t>(failReadAfter)) {
            return -1;
        }
        // Hand out at most three bytes a time, as a network does.
        const size_t count = std::min({size, body.size() - m_Position, size_t{3}});
        std::memcpy(buffer, body.data() + m_Position, count);
        m_Position += count;
        return static_cast<long>(count);
    }
    void Close() override { closed = true; }

private:
    size_t m_Position = 0;
};

struct SRun {
    bool ok;
    std::string response;
    std::string log;
};

SRun Exchange(CScriptedSession& session, int flags = kRequestEscape,
              std::vector<std::string> headers = {}) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("exchange-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".log");
    std::filesystem::remove(path);
    SRun run;
    {
        Log log;
        log.SetLogFile(path.c_str());
        log.Open(false);
        const SExchange exchange{"https://gw.example/pay?", flags, std::move(headers), "a=1&b=2",
                                 7};
        run.ok = RunExchange(session, exchange, log, run.response);
    }
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    run.log = text.str();
    std::filesystem::remove(path);
    return run;
}

TEST(Exchange, OutcomeOfEachAnswer) {
    struct SCase {
        const char* name;
        void (*script)(CScriptedSession&);
        bool ok;
        const char* response;
    };
    const SCase cases[] = {
        {"plain 200", [](CScriptedSession&) {}, true, "hello"},
        {"206 is accepted", [](CScriptedSession& s) { s.status = "206"; }, true, "hello"},
        {"302 is not followed", [](CScriptedSession& s) { s.status = "302"; }, false,
         "HTTP error302"},
        {"500", [](CScriptedSession& s) { s.status = "500"; }, false, "HTTP error500"},
        {"no status", [](CScriptedSession& s) { s.status = ""; }, false, "HTTP error"},
        {"http scheme", [](CScriptedSession& s) { s.url.scheme = "http"; }, false, "Invalid URL"},
        {"upper-case scheme", [](CScriptedSession& s) { s.url.scheme = "HTTPS"; }, true, "hello"},
        {"unsplittable URL", [](CScriptedSession& s) { s.crackOk = false; }, false, "Invalid URL"},
        {"no root handle", [](CScriptedSession& s) { s.openOk = false; }, false,
         "System failed connect"},
        {"send fails", [](CScriptedSession& s) { s.sendOk = false; }, false,
         "System failed connect"},
        {"no Content-Length", [](CScriptedSession& s) { s.hasLength = false; }, false,
         "Error retrieving response size"},
        {"negative length", [](CScriptedSession& s) { s.length = "-5"; }, false,
         "Error retrieving response size"},
        {"length not a number", [](CScriptedSession& s) { s.length = "abc"; }, false,
         "Error retrieving response size"},
        {"length with a fraction", [](CScriptedSession& s) { s.length = "5.0"; }, false,
         "Error retrieving response size"},
        {"length over 64 MiB", [](CScriptedSession& s) { s.length = "67108865"; }, false,
         "Unknown System Failure"},
        {"length overflowing 64 bits",
         [](CScriptedSession& s) { s.length = "999999999999999999999999"; }, false,
         "Unknown System Failure"},
        {"length 0", [](CScriptedSession& s) { s.length = "0"; }, true, ""},
        {"body shorter than announced", [](CScriptedSession& s) { s.length = "100"; }, true,
         "hello"},
        {"body longer than announced", [](CScriptedSession& s) { s.length = "4"; }, true, "hell"},
        {"zero byte ends the text", [](CScriptedSession& s) { s.body = std::string("ab\0cd", 5); },
         true, "ab"},
        {"read fails", [](CScriptedSession& s) { s.failReadAfter = 3; }, false,
         "Error reading response"},
    };
    for (const SCase& c : cases) {
        CScriptedSession session;
        c.script(session);
        const SRun run = Exchange(session);
        EXPECT_EQ(run.ok, c.ok) << c.name;
        EXPECT_EQ(run.response, c.response) << c.name;
        EXPECT_TRUE(session.closed) << c.name;
    }
}

TEST(Exchange, HttpSchemeIsRefusedBeforeAnyConnection) {
    CScriptedSession session;
    session.url.scheme = "http";
    Exchange(session);
    EXPECT_EQ(session.calls, std::vector<std::string>{"crack"});
}

TEST(Exchange, GetCarriesTheRequestInTheTarget) {
    CScriptedSession session;
    Exchange(session, kRequestEscape);
    EXPECT_EQ(session.method, "GET");
    EXPECT_EQ(session.target, "/pay?a=1&b=2");
    EXPECT_EQ(session.sentBody, "");
    EXPECT_EQ(session.calls,
              (std::vector<std::string>{"crack", "open Tenvale", "connect gw.example:443",
                                        "request HTTP/1.0", "revocation"}));
    EXPECT_EQ(session.timeout, 7);
}

TEST(Exchange, PostCarriesTheRequestAsBody) {
    CScriptedSession session;
    Exchange(session, kRequestPost | kRequestEscape);
    EXPECT_EQ(session.method, "POST");
    EXPECT_EQ(session.target, "/pay?");
    EXPECT_EQ(session.sentBody, "a=1&b=2");
}

TEST(Exchange, CustomHeadersComeBeforeAcceptAndUserAgent) {
    CScriptedSession session;
    Exchange(session, kRequestPost, {"X-One: 1", "X-Two: 2"});
    EXPECT_EQ(session.headers,
              "X-One: 1\r\nX-Two: 2\r\nAccept: text/*\r\nUser-Agent: Tenvale Paygrove\r\n");
}

TEST(Exchange, LogsEachStep) {
    CScriptedSession session;
    EXPECT_EQ(Exchange(session).log,
              "Opening connection to https://gw.example/pay?a=1&b=2\n"
              "  Opened - Got HTTP code 200\n"
              "  Response size = 5\n"
              "  Read response\n"
              "Closed connection\n");

    CScriptedSession refused;
    refused.status = "302";
    EXPECT_EQ(Exchange(refused).log,
              "Opening connection to https://gw.example/pay?a=1&b=2\n"
              "  Opened - Got HTTP code 302\n"
              "  **Error - HTTP error302\n"
              "Closed connection\n");

    CScriptedSession invalid;
    invalid.crackOk = false;
    EXPECT_EQ(Exchange(invalid).log, "**Error - Invalid URL\nClosed connection\n");
}

}  // namespace
