#include <gtest/gtest.h>

#include <string>

#include "Support.h"
#include "sandbox/OddAnswers.h"

namespace pgv::sandbox {
namespace {

std::string Answer(const std::string& status, const std::string& framing, const std::string& body,
                   const std::string& type = "text/plain") {
    return "HTTP/1.1 " + status + "\r\nDate: Thu, 01 Jan 1970 00:00:00 GMT\r\n" +
           "Server: paygrove-sandbox-odd\r\nContent-Type: " + type + "\r\n" + framing +
           "Connection: close\r\n\r\n" + body;
}

std::string Repeated(const std::string& text, size_t times) {
    std::string repeated;
    for (size_t i = 0; i < times; ++i) {
        repeated += text;
    }
    return repeated;
}

// An answer of `body`, announced with its length.
std::string Sized(const std::string& body) {
    return Answer("200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n", body);
}

TEST(OddAnswer, IsExactByPath) {
    const std::string ok = "200 OK";
    const std::string okHead = Answer(ok, "Content-Length: 2\r\n", "");
    const struct {
        const char* target;
        std::string bytes;
        std::string trickle = "";
        bool holdsOpen = false;
        bool resets = false;
        ECertificateSwitch certificate = ECertificateSwitch::None;
    } cases[] = {
        {"/ok?x_login=abc", Answer(ok, "Content-Length: 2\r\n", "ok")},
        {"/status/206", Answer("206 Partial Content", "Content-Length: 7\r\n", "odd 206")},
        {"/status/302", Answer("302 Found", "Location: /ok\r\nContent-Length: 7\r\n", "odd 302")},
        {"/chunked",
         Answer(ok, "Transfer-Encoding: chunked\r\n", "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n")},
        {"/short", Answer(ok, "Content-Length: 100\r\n", std::string(60, 'a'))},
        {"/long", Answer(ok, "Content-Length: 5\r\n", "hello world")},
        {"/length/-5", Answer(ok, "Content-Length: -5\r\n", "0123456789")},
        {"/zero", Answer(ok, "Content-Length: 0\r\n", "")},
        {"/nul", Answer(ok, "Content-Length: 7\r\n", std::string("abc\0def", 7))},
        {"/slow", Answer(ok, "Content-Length: 10\r\n", ""), "0123456789"},
        {"/stall", "", "", true},
        {"/close", ""},
        {"/reset", "", "", false, true},
        {"/stall/body", Answer(ok, "Content-Length: 100\r\n", std::string(10, 'a')), "", true},
        {"/reset/header", okHead.substr(0, okHead.size() / 2), "", false, true},
        {"/reset/body", Answer(ok, "Content-Length: 100\r\n", std::string(40, 'a')), "", false,
         true},
        {"/trickle", Answer(ok, "Content-Length: 10\r\n", ""), "0123456789"},
        {"/continue", "HTTP/1.1 100 Continue\r\n\r\n" + okHead + "ok"},
        {"/garbage", "ZZZZ garbage\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok"},
        {"/garbage/code", "HTTP/1.1 2OO OK" + okHead.substr(okHead.find("\r\n")) + "ok"},
        {"/long-header",
         Answer(ok, "X-Padding: " + std::string(64 * 1024, 'p') + "\r\nContent-Length: 2\r\n",
                "ok")},
        {"/length-twice", Answer(ok, "Content-Length: 5\r\nContent-Length: 11\r\n", "hello world")},
        {"/length-padded", Answer(ok, "Content-Length:    10   \r\n", "0123456789")},
        {"/nul/megabyte",
         Answer(ok, "Content-Length: 1048576\r\n", std::string(1024 * 1024, '\0'))},
        {"/cards", Answer(ok, "Content-Length: 2097158\r\n", Repeated("4007000000027,", 149797))},
        {"/mask/chain", Sized("4111111111111111" + Repeated(" 100071111", 20479))},
        {"/mask/tracks", Sized(Repeated("4111111111111111=3012;", 9310))},
        {"/mask/tags", Sized(Repeated("]=123&", 34134))},
        {"/certificate/rotated", Answer(ok, "Content-Length: 7\r\n", "rotated"), "", false, false,
         ECertificateSwitch::Rotated},
        {"/certificate/original", Answer(ok, "Content-Length: 8\r\n", "original"), "", false, false,
         ECertificateSwitch::Original},
        {"/status/600",
         Answer("404 Not Found", "Content-Length: 40\r\n",
                "Not Found: no odd answer at /status/600\n", "text/plain; charset=us-ascii")},
    };
    for (const auto& c : cases) {
        const SOddAnswer answer = OddAnswer(test::Parsed("GET", c.target, "odd.example"), 0);
        EXPECT_EQ(answer.bytes, c.bytes) << c.target;
        EXPECT_EQ(answer.trickle, c.trickle) << c.target;
        EXPECT_EQ(answer.trickleEvery.count() > 0, !c.trickle.empty()) << c.target;
        EXPECT_EQ(answer.holdOpen.count() > 0, c.holdsOpen) << c.target;
        EXPECT_EQ(answer.reset, c.resets) << c.target;
        EXPECT_EQ(answer.certificate, c.certificate) << c.target;
    }
}

}  // namespace
}  // namespace pgv::sandbox
