#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <string>

#include "sandbox/OddAnswers.h"

namespace pgv::sandbox {
namespace {

SOddAnswer AnswerFor(const std::string& target) {
    CRequestParser parser;
    EXPECT_EQ(parser.Feed("GET " + target + " HTTP/1.0\r\nHost: anything.example\r\n\r\n"),
              EParse::Complete);
    return OddAnswer(parser.Request(), 0);
}

const std::string kHead =
    "Date: Thu, 01 Jan 1970 00:00:00 GMT\r\nServer: paygrove-sandbox-odd\r\n"
    "Content-Type: text/plain\r\n";

struct SOddCase {
    const char* name;
    std::string target;
    std::string bytes;
};

void PrintTo(const SOddCase& c, std::ostream* out) {
    *out << c.name;
}

class OddAnswerBytes : public ::testing::TestWithParam<SOddCase> {};

TEST_P(OddAnswerBytes, AreExact) {
    const SOddAnswer answer = AnswerFor(GetParam().target);
    EXPECT_EQ(answer.bytes, GetParam().bytes);
    EXPECT_EQ(answer.trickle, "");
    EXPECT_EQ(answer.holdOpen.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OddAnswerBytes,
    ::testing::Values(
        SOddCase{"Status206", "/status/206",
                 "HTTP/1.1 206 Partial Content\r\n" + kHead +
                     "Content-Length: 7\r\nConnection: close\r\n\r\nodd 206"},
        SOddCase{"Status302", "/status/302?x_login=abc",
                 "HTTP/1.1 302 Found\r\n" + kHead +
                     "Location: /ok\r\nContent-Length: 7\r\nConnection: close\r\n\r\nodd 302"},
        SOddCase{"Status500", "/status/500",
                 "HTTP/1.1 500 Internal Server Error\r\n" + kHead +
                     "Content-Length: 7\r\nConnection: close\r\n\r\nodd 500"},
        SOddCase{"Chunked", "/chunked",
                 "HTTP/1.1 200 OK\r\n" + kHead +
                     "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                     "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"},
        SOddCase{"Short", "/short",
                 "HTTP/1.1 200 OK\r\n" + kHead +
                     "Content-Length: 100\r\nConnection: close\r\n\r\n" + std::string(60, 'a')},
        SOddCase{"NegativeLength", "/length/-5",
                 "HTTP/1.1 200 OK\r\n" + kHead +
                     "Content-Length: -5\r\nConnection: close\r\n\r\n0123456789"},
        SOddCase{"WordLength", "/length/abc?ignored",
                 "HTTP/1.1 200 OK\r\n" + kHead +
                     "Content-Length: abc\r\nConnection: close\r\n\r\n0123456789"},
        SOddCase{"HugeLength", "/length/99999999999",
                 "HTTP/1.1 200 OK\r\n" + kHead +
                     "Content-Length: 99999999999\r\nConnection: close\r\n\r\n0123456789"},
        SOddCase{"Zero", "/zero",
                 "HTTP/1.1 200 OK\r\n" + kHead + "Content-Length: 0\r\nConnection: close\r\n\r\n"},
        SOddCase{"Nul", "/nul",
                 "HTTP/1.1 200 OK\r\n" + kHead + "Content-Length: 7\r\nConnection: close\r\n\r\n" +
                     std::string("abc\0def", 7)},
        SOddCase{"Long", "/long",
                 "HTTP/1.1 200 OK\r\n" + kHead +
                     "Content-Length: 5\r\nConnection: close\r\n\r\nhello world"},
        SOddCase{
            "Ok", "/ok?x_login=abc&x_amount=1.00",
            "HTTP/1.1 200 OK\r\n" + kHead + "Content-Length: 2\r\nConnection: close\r\n\r\nok"}),
    [](const auto& info) { return info.param.name; });

TEST(OddAnswer, StallSendsNothingAndHoldsTheConnection) {
    const SOddAnswer answer = AnswerFor("/stall?anything");
    EXPECT_EQ(answer.bytes, "");
    EXPECT_EQ(answer.holdOpen, std::chrono::seconds(120));
}

TEST(OddAnswer, SlowSendsTheHeadThenTricklesTheBody) {
    const SOddAnswer answer = AnswerFor("/slow");
    EXPECT_EQ(answer.bytes,
              "HTTP/1.1 200 OK\r\n" + kHead + "Content-Length: 10\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(answer.trickle, "0123456789");
    EXPECT_EQ(answer.trickleEvery, std::chrono::seconds(2));
}

TEST(OddAnswer, UnknownPathsAreNotFound) {
    for (const char* target : {"/", "/status/", "/status/99", "/status/600", "/status/2000",
                               "/status/abc", "/length/", "/okay", "/OK"}) {
        const SOddAnswer answer = AnswerFor(target);
        EXPECT_EQ(answer.bytes.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u) << target;
    }
}

}  // namespace
}  // namespace pgv::sandbox
