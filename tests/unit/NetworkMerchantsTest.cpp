#include <gtest/gtest.h>

#include <string>

#include "RecordingGateway.h"
#include "gateways/NetworkMerchants.h"

namespace {

// The caller's parameters go out as given: no defaults, no names changed or consumed.
TEST(NetworkMerchants, SendsTheCallersParametersAsAnEscapedQuery) {
    const std::string long300(300, 'v');
    const struct {
        std::string text;
        int count;
        std::string request;
    } cases[] = {
        {"type=sale|Amount=1.00|ccnumber=4111 1111", 3,
         "Amount=1.00&ccnumber=4111%201111&type=sale"},
        {"test_account=1|x|orderid=a&b=c", 2, "orderid=a%26b%3Dc&test_account=1"},
        {"v=" + long300, 1, "v=" + long300.substr(0, 255)},
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        pgvtest::CRecordingGateway<CAuthNMI> gateway;
        gateway.answer = "response=1";
        EXPECT_EQ(gateway.SetParameters(c.text.c_str()), c.count);
        EXPECT_EQ(gateway.SendNow(), c.request);
        EXPECT_EQ(gateway.url, "https://secure.networkmerchants.com/api/transact.php?");
        EXPECT_EQ(gateway.GetRequestFlags(), kRequestEscape);
        EXPECT_TRUE(gateway.headers.empty());
        EXPECT_EQ(gateway.m_Results["all"], "response=1");
    }
}

TEST(NetworkMerchants, ParseResultsReadsPairsUnderLowerCaseNames) {
    const struct {
        const char* answer;
        const char* pairs;
    } cases[] = {
        {"A=1&b=2&xyz", "a=1,b=2"},
        {"b=", "b="},
        {"", ""},
        {"response=1&responsetext=SUCCESS\n", "response=1,responsetext=SUCCESS\n"},
        {"a=1&A=2", "a=2"},
        {"a=x=y&&b=Mixed Case", "a=x=y,b=Mixed Case"},
        {"&=v&c=3&", "=v,c=3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        CAuthNMI gateway;
        std::string answer = c.answer;
        EXPECT_TRUE(gateway.ParseResults(answer));
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(gateway.m_Results["pairs"], c.pairs);
    }
}

}  // namespace
