#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "sandbox/Http.h"

namespace pgv::sandbox {
namespace {

TEST(RequestParser, KeepsHeaderOrderAndCompletesOnTheLastByteOfTheBody) {
    const std::string request =
        "POST /gateway/transact.dll?a=1 HTTP/1.0\r\nUser-Agent: Paygrove\r\n"
        "Host: Secure.Authorize.NET:443\r\nContent-Length: 7\r\nX-Empty:\r\n\r\nx_a=b&c";
    CRequestParser parser;
    for (std::size_t i = 0; i + 1 < request.size(); ++i) {
        ASSERT_EQ(parser.Feed(request.substr(i, 1)), EParse::NeedMore) << i;
    }
    ASSERT_EQ(parser.Feed(request.back() + std::string("GET / HTTP/1.0\r\n\r\n")), EParse::Complete)
        << parser.Failure().message;
    EXPECT_EQ(parser.Received(), request);
    const SHttpRequest& parsed = parser.Request();
    EXPECT_EQ(parsed.method + " " + parsed.path + " " + parsed.query + " " + parsed.version + " " +
                  parsed.host + " " + parsed.body,
              "POST /gateway/transact.dll a=1 HTTP/1.0 secure.authorize.net x_a=b&c");
    const HeaderList expected = {{"User-Agent", "Paygrove"},
                                 {"Host", "Secure.Authorize.NET:443"},
                                 {"Content-Length", "7"},
                                 {"X-Empty", ""}};
    EXPECT_EQ(parsed.headers, expected);
}

TEST(RequestParser, RejectsWithTheRightStatus) {
    const std::pair<std::string, int> cases[] = {
        {"GET / HTTP/1.1\nHost: a\n\n", 400},
        {"GET /\xC3\xA9 HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        {"GET / HTTP/2.0\r\nHost: a\r\n\r\n", 505},
        {"GET / HTTP/1.1\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: a\r\n b\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost : a\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: a\x01\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n", 501},
        {"POST / HTTP/1.0\r\n\r\n", 411},
        {"GET / HTTP/1.0\r\nContent-Length: 9999999999999999999999\r\n\r\n", 400},
        {"GET / HTTP/1.0\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", 400},
        {"POST / HTTP/1.0\r\nContent-Length: 11\r\n\r\n", 413},
        {"GET / HTTP/1.0\r\nX: " + std::string(200, 'a'), 431},
    };
    for (const auto& [request, status] : cases) {
        CRequestParser parser(SHttpLimits{200, 10});
        EXPECT_EQ(parser.Feed(request), EParse::Failed) << request;
        EXPECT_EQ(parser.Failure().status, status) << request << parser.Failure().message;
        EXPECT_EQ(parser.Received(), request);
    }
    const std::string head = "POST / HTTP/1.0\r\nContent-Length: 10\r\nX: ";
    CRequestParser atTheLimits(SHttpLimits{200, 10});
    EXPECT_EQ(
        atTheLimits.Feed(head + std::string(200 - head.size() - 4, 'a') + "\r\n\r\n0123456789"),
        EParse::Complete);
}

}  // namespace
}  // namespace pgv::sandbox
