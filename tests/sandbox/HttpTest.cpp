#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "sandbox/Http.h"

namespace pgv::sandbox {
namespace {

TEST(RequestParser, KeepsHeadersInOrderAndTakesTheBodyByContentLength) {
    const std::string request =
        "POST /gateway/transact.dll?a=1 HTTP/1.0\r\n"
        "User-Agent: Paygrove\r\n"
        "Host: Secure.Authorize.NET:443\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\n"
        "Content-Length: 7\r\n"
        "X-Empty:\r\n"
        "\r\n"
        "x_a=b&c";
    CRequestParser parser;
    ASSERT_EQ(parser.Feed(request + "EXTRA"), EParse::Complete) << parser.Failure().message;
    const SHttpRequest& parsed = parser.Request();
    EXPECT_EQ(parsed.method, "POST");
    EXPECT_EQ(parsed.target, "/gateway/transact.dll?a=1");
    EXPECT_EQ(parsed.path, "/gateway/transact.dll");
    EXPECT_EQ(parsed.query, "a=1");
    EXPECT_EQ(parsed.version, "HTTP/1.0");
    EXPECT_EQ(parsed.host, "secure.authorize.net");
    const HeaderList expected = {{"User-Agent", "Paygrove"},
                                 {"Host", "Secure.Authorize.NET:443"},
                                 {"Content-Type", "application/x-www-form-urlencoded"},
                                 {"Content-Length", "7"},
                                 {"X-Empty", ""}};
    EXPECT_EQ(parsed.headers, expected);
    EXPECT_EQ(parsed.body, "x_a=b&c");
    EXPECT_EQ(parser.Received(), request);
    EXPECT_EQ(parsed.Header("content-length").value_or(""), "7");
}

TEST(RequestParser, CompletesOnlyWhenTheLastByteArrives) {
    const std::string request = "GET /ok HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\nabc";
    CRequestParser parser;
    for (std::size_t i = 0; i + 1 < request.size(); ++i) {
        ASSERT_EQ(parser.Feed(request.substr(i, 1)), EParse::NeedMore) << "at byte " << i;
    }
    ASSERT_EQ(parser.Feed(request.substr(request.size() - 1)), EParse::Complete);
    EXPECT_EQ(parser.Request().body, "abc");
    EXPECT_EQ(parser.Received(), request);
}

TEST(RequestParser, AcceptsHttp10WithoutHostAndWithoutBody) {
    CRequestParser parser;
    ASSERT_EQ(parser.Feed("GET /x?y HTTP/1.0\r\n\r\n"), EParse::Complete);
    EXPECT_EQ(parser.Request().host, "");
    EXPECT_EQ(parser.Request().query, "y");
    EXPECT_EQ(parser.Request().body, "");
}

struct SRejectCase {
    const char* name;
    std::string request;
    int status;
};

void PrintTo(const SRejectCase& c, std::ostream* out) {
    *out << c.name;
}

class RequestParserRejects : public ::testing::TestWithParam<SRejectCase> {};

TEST_P(RequestParserRejects, WithTheRightStatus) {
    CRequestParser parser(SHttpLimits{200, 10});
    ASSERT_EQ(parser.Feed(GetParam().request), EParse::Failed);
    EXPECT_EQ(parser.Failure().status, GetParam().status) << parser.Failure().message;
    EXPECT_FALSE(parser.Failure().message.empty());
    EXPECT_EQ(parser.Received(), GetParam().request);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RequestParserRejects,
    ::testing::Values(
        SRejectCase{"BareLineFeed", "GET / HTTP/1.1\nHost: a\n\n", 400},
        SRejectCase{"BareLineFeedInHeaders", "GET / HTTP/1.1\r\nHost: a\n\r\n", 400},
        SRejectCase{"EmptyRequestLine", "\r\nGET / HTTP/1.1\r\n\r\n", 400},
        SRejectCase{"TwoSpaces", "GET  / HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        SRejectCase{"NoVersion", "GET /\r\nHost: a\r\n\r\n", 400},
        SRejectCase{"TargetWithoutSlash", "GET x HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        SRejectCase{"AbsoluteTarget", "GET https://a/ HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        SRejectCase{"DeleteByteInTarget", "GET /\x7F HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        SRejectCase{"HighByteInTarget", "GET /\xC3\xA9 HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        SRejectCase{"OtherVersion", "GET / HTTP/2.0\r\nHost: a\r\n\r\n", 505},
        SRejectCase{"MalformedVersion", "GET / HTTP/1.1x\r\nHost: a\r\n\r\n", 400},
        SRejectCase{"LowerCaseVersion", "GET / http/1.1\r\nHost: a\r\n\r\n", 400},
        SRejectCase{"Http11WithoutHost", "GET / HTTP/1.1\r\n\r\n", 400},
        SRejectCase{"TwoHosts", "GET / HTTP/1.0\r\nHost: a\r\nHost: b\r\n\r\n", 400},
        SRejectCase{"FoldedHeader", "GET / HTTP/1.1\r\nHost: a\r\n b\r\n\r\n", 400},
        SRejectCase{"SpaceBeforeColon", "GET / HTTP/1.1\r\nHost : a\r\n\r\n", 400},
        SRejectCase{"NoColon", "GET / HTTP/1.1\r\nHost: a\r\nJunk\r\n\r\n", 400},
        SRejectCase{"ControlByteInValue", "GET / HTTP/1.1\r\nHost: a\x01\r\n\r\n", 400},
        SRejectCase{"TransferEncoding",
                    "POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n", 501},
        SRejectCase{"PostWithoutLength", "POST / HTTP/1.0\r\nHost: a\r\n\r\n", 411},
        SRejectCase{"NegativeLength", "GET / HTTP/1.0\r\nContent-Length: -5\r\n\r\n", 400},
        SRejectCase{"WordLength", "GET / HTTP/1.0\r\nContent-Length: abc\r\n\r\n", 400},
        SRejectCase{"HugeLength",
                    "GET / HTTP/1.0\r\nContent-Length: 9999999999999999999999\r\n\r\n", 400},
        SRejectCase{"DisagreeingLengths",
                    "GET / HTTP/1.0\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", 400},
        SRejectCase{"BodyOverLimit", "POST / HTTP/1.0\r\nContent-Length: 11\r\n\r\n", 413},
        SRejectCase{"HeadOverLimit",
                    "GET / HTTP/1.0\r\nX-Long: " + std::string(200, 'a') + "\r\n\r\n", 431},
        SRejectCase{"UnendedHeadOverLimit", "GET / HTTP/1.0\r\nX: " + std::string(200, 'a'), 431}),
    [](const auto& info) { return info.param.name; });

TEST(RequestParser, AcceptsHeadAndBodyExactlyAtTheLimits) {
    const std::string head = "POST / HTTP/1.0\r\nContent-Length: 10\r\nX: ";
    const std::string request =
        head + std::string(200 - head.size() - 4, 'a') + "\r\n\r\n" + "0123456789";
    CRequestParser parser(SHttpLimits{200, 10});
    ASSERT_EQ(parser.Feed(request), EParse::Complete) << parser.Failure().message;
    EXPECT_EQ(parser.Request().body, "0123456789");
}

TEST(RequestParser, DefaultLimitsAre64KiBOfHeadAnd1MiBOfBody) {
    CRequestParser bigHead;
    EXPECT_EQ(bigHead.Feed("GET / HTTP/1.0\r\nX: " + std::string(64 * 1024, 'a') + "\r\n\r\n"),
              EParse::Failed);
    EXPECT_EQ(bigHead.Failure().status, 431);
    CRequestParser bigBody;
    EXPECT_EQ(bigBody.Feed("POST / HTTP/1.0\r\nContent-Length: 1048577\r\n\r\n"), EParse::Failed);
    EXPECT_EQ(bigBody.Failure().status, 413);
    CRequestParser fullBody;
    EXPECT_EQ(fullBody.Feed("POST / HTTP/1.0\r\nContent-Length: 1048576\r\n\r\n"),
              EParse::NeedMore);
}

TEST(NormalizeHost, StripsPortAndCase) {
    EXPECT_EQ(NormalizeHost("Test.Authorize.Net:8443"), "test.authorize.net");
    EXPECT_EQ(NormalizeHost(" secure.authorize.net "), "secure.authorize.net");
    EXPECT_EQ(NormalizeHost("[::1]:443"), "[::1]");
}

TEST(HttpDate, IsTheImfFixdate) {
    EXPECT_EQ(HttpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(HttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
}

TEST(SerializeResponse, WritesDateHeadersExactLengthAndClose) {
    SHttpResponse response;
    response.status = 404;
    response.reason = "Not Found";
    response.headers = {{"Server", "s"}, {"Content-Type", "text/plain"}};
    response.body = std::string("a\0b", 3);
    static constexpr char kExpected[] =
        "HTTP/1.1 404 Not Found\r\n"
        "Date: Thu, 01 Jan 1970 00:00:00 GMT\r\n"
        "Server: s\r\n"
        "Content-Type: text/plain\r\n"
        "Content-Length: 3\r\n"
        "Connection: close\r\n"
        "\r\n"
        "a\0b";
    EXPECT_EQ(SerializeResponse(response, 0), std::string(kExpected, sizeof kExpected - 1));
}

TEST(PlainTextResponse, NamesTheProblem) {
    const SHttpResponse response = PlainTextResponse(421, "no gateway", "srv");
    EXPECT_EQ(response.status, 421);
    EXPECT_EQ(response.reason, "Misdirected Request");
    EXPECT_EQ(response.body, "Misdirected Request: no gateway\n");
    const HeaderList expected = {{"Server", "srv"},
                                 {"Content-Type", "text/plain; charset=us-ascii"}};
    EXPECT_EQ(response.headers, expected);
}

}  // namespace
}  // namespace pgv::sandbox
