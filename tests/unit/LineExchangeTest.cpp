// The exchange on both lines over a scripted backend: what each line puts on the wire and logs,
// and how the answer's steps, the same on both, read each answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "log/Log.h"
#include "transport/LineExchange.h"

namespace {

// What the backend answers, and what it was asked.
struct SScript {
    bool prepareOk = true;
    EExchangeFailure sent = EExchangeFailure::None;
    std::string status = "200";
    bool hasLength = true;
    std::string length = "5";
    std::string body = "hello";
    long failReadAfter = -1;  // bytes after which a read fails; -1: never
    // The Content-Encoding header, when there is one.
    std::optional<std::string> encoding;
    // Whether the backend reports, once asked to send, that some of the request went out.
    bool requestLeft = true;

    std::optional<SWireRequest> wire;
    bool closed = false;
};

// Hands the body out at most three bytes a time, as a network hands it out.
class CScriptedBackend : public IHttpBackend {
public:
    explicit CScriptedBackend(SScript& script) : m_Script(script) {}

    bool Prepare(const SWireRequest& request, Log&) override {
        m_Script.wire = request;
        return m_Script.prepareOk;
    }
    EExchangeFailure Send() override {
        m_Sending = true;
        return m_Script.sent;
    }
    bool RequestMayHaveLeft() override { return m_Sending && m_Script.requestLeft; }
    bool QueryStatusCode(std::string& code) override {
        code = m_Script.status;
        return true;
    }
    bool QueryContentLength(std::string& text) override {
        text = m_Script.length;
        return m_Script.hasLength;
    }
    bool QueryContentEncoding(std::string& text) override {
        text = m_Script.encoding.value_or("");
        return m_Script.encoding.has_value();
    }
    long Read(char* buffer, size_t size) override {
        if (m_Script.failReadAfter >= 0 &&
            m_Position >= static_cast<size_t>(m_Script.failReadAfter)) {
            return -1;
        }
        const size_t count = std::min({size, m_Script.body.size() - m_Position, size_t{3}});
        std::memcpy(buffer, m_Script.body.data() + m_Position, count);
        m_Position += count;
        return static_cast<long>(count);
    }
    void Close() override { m_Script.closed = true; }

private:
    SScript& m_Script;
    size_t m_Position = 0;
    bool m_Sending = false;
};

SHttpRequest Request(bool post = false, std::vector<std::string> headers = {},
                     std::string url = "https://gw.example/pay?") {
    SHttpRequest request;
    request.post = post;
    request.url = post ? url : url + "a=1&b=2";
    request.body = post ? "a=1&b=2" : "";
    request.headerLines = std::move(headers);
    request.timeoutSeconds = 7;
    return request;
}

struct SExchanged : pgvtest::SRun {
    bool mayHaveBeenSent;
};

SExchanged Exchange(EHttpLine line, SScript& script, const SHttpRequest& request = Request()) {
    CLineExchange exchange(line, [&script] { return std::make_unique<CScriptedBackend>(script); });
    bool mayHaveBeenSent = false;
    const pgvtest::SRun run = pgvtest::RunLogged([&](Log& log, std::string& response) {
        const SHttpOutcome outcome = exchange.Perform(request, log);
        response = outcome.text;
        mayHaveBeenSent = outcome.mayHaveBeenSent;
        return outcome.ok;
    });
    return {run, mayHaveBeenSent};
}

constexpr EHttpLine kLines[] = {EHttpLine::Windows, EHttpLine::Mac};

// Whether the gateway may hold the request is the backend's to tell until an answer comes; once
// one has come, it does.
TEST(LineExchange, OutcomeOfEachAnswerOnBothLines) {
    using S = SScript;
    constexpr char kNoAnswerInTime[] = "No answer in time; the request may have been sent";
    const struct {
        void (*script)(S&);
        bool ok;
        const char* response;
        bool mayHaveBeenSent;
    } cases[] = {
        {[](S&) {}, true, "hello", true},
        {[](S& s) { s.status = "206"; }, true, "hello", true},
        {[](S& s) { s.status = "302"; }, false, "HTTP error302", true},
        {[](S& s) { s.status = "404"; }, false, "HTTP error404", true},
        {[](S& s) { s.status = ""; }, false, "HTTP error", true},
        {[](S& s) {
             s.status = "500";
             s.requestLeft = false;
         },
         false, "HTTP error500", true},
        {[](S& s) { s.prepareOk = false; }, false, "System failed connect", false},
        {[](S& s) {
             s.sent = EExchangeFailure::ConnectFailed;
             s.requestLeft = false;
         },
         false, "System failed connect", false},
        {[](S& s) { s.sent = EExchangeFailure::ConnectFailed; }, false, "System failed connect",
         true},
        {[](S& s) { s.sent = EExchangeFailure::NoAnswerInTime; }, false, kNoAnswerInTime, true},
        // The time ran out before any of the request left, and none of it will.
        {[](S& s) {
             s.sent = EExchangeFailure::NoAnswerInTime;
             s.requestLeft = false;
         },
         false, "System failed connect", false},
        {[](S& s) { s.hasLength = false; }, false, "Error retrieving response size", true},
        {[](S& s) { s.length = "-5"; }, false, "Error retrieving response size", true},
        {[](S& s) { s.length = "5.0"; }, false, "Error retrieving response size", true},
        {[](S& s) { s.length = " 5\t"; }, true, "hello", true},
        {[](S& s) { s.length = "5, 5"; }, true, "hello", true},
        {[](S& s) { s.length = "5, 7"; }, false, "Error retrieving response size", true},
        {[](S& s) { s.length = "67108865"; }, false, "Unknown System Failure", true},
        {[](S& s) { s.length = "999999999999999999999999"; }, false, "Unknown System Failure",
         true},
        {[](S& s) { s.length = "0"; }, true, "", true},
        {[](S& s) { s.length = "1"; }, true, "h", true},
        {[](S& s) { s.length = "100"; }, false, "Error reading response", true},
        {[](S& s) { s.length = "4"; }, true, "hell", true},
        {[](S& s) { s.body = std::string("ab\0cd", 5); }, true, "ab", true},
        {[](S& s) { s.failReadAfter = 3; }, false, "Error reading response", true},
        // Only a body sent as it is reads as the answer.
        {[](S& s) { s.encoding = "identity"; }, true, "hello", true},
        {[](S& s) { s.encoding = " IDENTITY\t"; }, true, "hello", true},
        {[](S& s) { s.encoding = "gzip"; }, false, "Error reading response", true},
        {[](S& s) { s.encoding = "deflate"; }, false, "Error reading response", true},
        {[](S& s) { s.encoding = "identity, gzip"; }, false, "Error reading response", true},
        {[](S& s) { s.encoding = ""; }, false, "Error reading response", true},
        {[](S& s) {
             s.encoding = "gzip";
             s.status = "500";
         },
         false, "HTTP error500", true},
    };
    for (const EHttpLine line : kLines) {
        for (size_t i = 0; i < std::size(cases); ++i) {
            S script;
            cases[i].script(script);
            const SExchanged run = Exchange(line, script);
            EXPECT_EQ(run.ok, cases[i].ok) << "case " << i;
            EXPECT_EQ(run.response, cases[i].response) << "case " << i;
            EXPECT_EQ(run.mayHaveBeenSent, cases[i].mayHaveBeenSent) << "case " << i;
            EXPECT_TRUE(script.closed) << "case " << i;
        }
    }
}

// One rule for every platform, decided before any backend is asked for anything.
TEST(LineExchange, OnlyUsableHttpsUrlsAreTried) {
    const std::string longestHost(255, 'h');
    const struct {
        std::string url;
        const char* host;  // nullptr: refused with "Invalid URL"
        int port;
        const char* target;
    } cases[] = {
        {"https://gw.example/pay?", "gw.example", 443, "/pay?"},
        {"HTTPS://gw.example/pay?", "gw.example", 443, "/pay?"},
        {"https://gw.example:8443/pay?", "gw.example", 8443, "/pay?"},
        {"https://gw.example?x=1", "gw.example", 443, "/?x=1"},
        {"https://gw.example", "gw.example", 443, "/"},
        {"http://gw.example/pay?", nullptr, 0, nullptr},
        {"ftps://gw.example/", nullptr, 0, nullptr},
        {"gw.example/pay?", nullptr, 0, nullptr},
        {"not a url", nullptr, 0, nullptr},
        {"", nullptr, 0, nullptr},
        {"https:///pay?", nullptr, 0, nullptr},
        {"https://gw.example:0/", nullptr, 0, nullptr},
        {"https://gw.example:65536/", nullptr, 0, nullptr},
        {"https://gw.example:/", nullptr, 0, nullptr},
        {"https://user@gw.example/", nullptr, 0, nullptr},
        {"https://gw.example/pay?a=1 2", nullptr, 0, nullptr},
        {"https://gw.example/pay?a=1\r\nX: 1", nullptr, 0, nullptr},
        {"https://gw.example/pay?a={1}", nullptr, 0, nullptr},
        {"https://gw.example/pay?a=\xE9", nullptr, 0, nullptr},
        {"https://" + longestHost + "/", longestHost.c_str(), 443, "/"},
        {"https://" + std::string(256, 'h') + "/", nullptr, 0, nullptr},
        {"https://gw.example/" + std::string(2046, 'p'), "gw.example", 443, nullptr},
        {"https://gw.example/" + std::string(2047, 'p'), nullptr, 0, nullptr},
    };
    for (const EHttpLine line : kLines) {
        for (const auto& c : cases) {
            SScript script;
            SHttpRequest request = Request();
            request.url = c.url;
            const SExchanged run = Exchange(line, script, request);
            EXPECT_EQ(script.wire.has_value(), c.host != nullptr) << c.url;
            if (c.host == nullptr) {
                EXPECT_EQ(run.response, "Invalid URL") << c.url;
                EXPECT_FALSE(run.mayHaveBeenSent) << c.url;
                continue;
            }
            EXPECT_EQ(script.wire->parts.host, c.host) << c.url;
            EXPECT_EQ(script.wire->parts.port, c.port) << c.url;
            if (c.target != nullptr) {
                EXPECT_EQ(script.wire->parts.target, c.target) << c.url;
            }
        }
    }
}

std::vector<std::string> HeaderLines(const SWireRequest& wire) {
    std::vector<std::string> lines;
    for (const SHttpHeader& header : wire.headers) {
        lines.push_back(header.name + "|" + header.value);
    }
    return lines;
}

TEST(LineExchange, EachLinesRequestOnTheWire) {
    const struct {
        EHttpLine line;
        bool post;
        std::vector<std::string> custom;
        const char* method;
        const char* url;
        const char* target;
        const char* version;
        std::vector<std::string> headers;
        const char* body;
    } cases[] = {
        {EHttpLine::Windows,
         false,
         {},
         "GET",
         "https://gw.example/pay?a=1&b=2",
         "/pay?a=1&b=2",
         "HTTP/1.0",
         {"Accept|text/*", "User-Agent|Tenvale Paygrove", "Connection|close"},
         ""},
        {EHttpLine::Windows,
         true,
         {"X-One: 1", "X-Two: 2"},
         "POST",
         "https://gw.example/pay?",
         "/pay?",
         "HTTP/1.0",
         {"X-One|1", "X-Two|2", "Accept|text/*", "User-Agent|Tenvale Paygrove", "Connection|close"},
         "a=1&b=2"},
        {EHttpLine::Mac,
         false,
         {},
         "GET",
         "https://gw.example/pay?a=1&b=2",
         "/pay?a=1&b=2",
         "HTTP/1.1",
         {"User-Agent|Tenvale Paygrove", "Connection|close"},
         ""},
        {EHttpLine::Mac,
         true,
         {"X-One: 1"},
         "POST",
         "https://gw.example/pay?",
         "/pay?",
         "HTTP/1.1",
         {"X-One|1", "User-Agent|Tenvale Paygrove", "Connection|close"},
         "a=1&b=2"},
        // The Mac plug-in has always split at the first colon and skipped the two characters
        // after it; a line without ": " sends nothing.
        {EHttpLine::Mac,
         true,
         {"X-VPS-VIT-OS-NAME: Max OS X", "X-Time:12", "X-Url: https://a:1/", "X-A:b: c",
          "No separator", "X-Empty: "},
         "POST",
         "https://gw.example/pay?",
         "/pay?",
         "HTTP/1.1",
         {"X-VPS-VIT-OS-NAME|Max OS X", "X-Url|https://a:1/", "X-A|: c", "X-Empty|",
          "User-Agent|Tenvale Paygrove", "Connection|close"},
         "a=1&b=2"},
        {EHttpLine::Windows,
         true,
         {"X-Url: https://a:1/", "X-Empty: "},
         "POST",
         "https://gw.example/pay?",
         "/pay?",
         "HTTP/1.0",
         {"X-Url|https://a:1/", "X-Empty|", "Accept|text/*", "User-Agent|Tenvale Paygrove",
          "Connection|close"},
         "a=1&b=2"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SScript script;
        Exchange(c.line, script, Request(c.post, c.custom));
        ASSERT_TRUE(script.wire) << "case " << i;
        const SWireRequest& wire = *script.wire;
        EXPECT_STREQ(wire.method, c.method) << "case " << i;
        EXPECT_EQ(wire.url, c.url) << "case " << i;
        EXPECT_EQ(wire.parts.target, c.target) << "case " << i;
        EXPECT_STREQ(wire.version, c.version) << "case " << i;
        EXPECT_EQ(HeaderLines(wire), c.headers) << "case " << i;
        EXPECT_EQ(wire.body, c.body) << "case " << i;
        EXPECT_EQ(wire.timeoutSeconds, 7) << "case " << i;
    }
}

TEST(LineExchange, LogsEachStep) {
    using S = SScript;
    const struct {
        EHttpLine line;
        void (*script)(S&);
        const char* log;
    } cases[] = {
        {EHttpLine::Windows, [](S&) {},
         "Opening connection to https://gw.example/pay?a=1&b=2\n"
         "  Opened - Got HTTP code 200\n"
         "  Response size = 5\n"
         "  Read response\n"
         "Closed connection\n"},
        {EHttpLine::Windows, [](S& s) { s.status = "302"; },
         "Opening connection to https://gw.example/pay?a=1&b=2\n"
         "  Opened - Got HTTP code 302\n"
         "  **Error - HTTP error302\n"
         "Closed connection\n"},
        {EHttpLine::Mac, [](S&) {},
         "Opening connection\n"
         "  Opened - Got HTTP code 200\n"
         "  Response size = 5\n"
         "  Read response\n"
         "Closed connection\n"},
        // The backend logs what it could not make before the connection opens.
        {EHttpLine::Mac, [](S& s) { s.prepareOk = false; },
         "**Error - System failed connect\nClosed connection\n"},
        {EHttpLine::Mac, [](S& s) { s.sent = EExchangeFailure::ConnectFailed; },
         "Opening connection\n  **Error - System failed connect\nClosed connection\n"},
        // An encoded body is not read: its length is not even logged.
        {EHttpLine::Windows, [](S& s) { s.encoding = "gzip"; },
         "Opening connection to https://gw.example/pay?a=1&b=2\n"
         "  Opened - Got HTTP code 200\n"
         "  **Error - Error reading response\n"
         "Closed connection\n"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        S script;
        cases[i].script(script);
        EXPECT_EQ(Exchange(cases[i].line, script).log, cases[i].log) << "case " << i;
    }
    for (const EHttpLine line : kLines) {
        S script;
        SHttpRequest request = Request();
        request.url = "http://gw.example/pay?";
        EXPECT_EQ(Exchange(line, script, request).log,
                  "**Error - Invalid URL\nClosed connection\n");
    }
}

TEST(LineExchange, PostLogNamesTheBodyOnTheWindowsLine) {
    SScript script;
    const std::string log = Exchange(EHttpLine::Windows, script, Request(true)).log;
    EXPECT_EQ(log.substr(0, log.find('\n')),
              "Opening connection to https://gw.example/pay?a=1&b=2");
}

}  // namespace
