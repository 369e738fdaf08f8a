#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "RecordingGateway.h"
#include "gateways/SecPay.h"

namespace {

// Stands for the clock reading SetParameters writes, which a test can only bound.
constexpr char kClock[] = "(clock)";

void ExpectClock(const std::string& value, std::time_t before, std::time_t after) {
    ASSERT_FALSE(value.empty());
    ASSERT_EQ(value.find_first_not_of("0123456789"), std::string::npos) << value;
    const long long seconds = std::stoll(value);
    EXPECT_GE(seconds, static_cast<long long>(before));
    EXPECT_LE(seconds, static_cast<long long>(after));
}

TEST(SecPay, TransactionIdDefaultsToTheClockUnlessTheCallerNamesIt) {
    const struct {
        std::vector<const char*> calls;
        int count;  // of the last call
        StringMap params;
    } cases[] = {
        {{"amount=1.00"}, 1, {{"amount", "1.00"}, {"trans_id", kClock}}},
        {{""}, 0, {{"trans_id", kClock}}},
        {{"trans_id=T-1|amount=1.00"}, 2, {{"amount", "1.00"}, {"trans_id", "T-1"}}},
        {{"amount=1.00|trans_id=T-1"}, 2, {{"amount", "1.00"}, {"trans_id", "T-1"}}},
        {{"trans_id=T-1", "amount=2.00"}, 1, {{"amount", "2.00"}, {"trans_id", kClock}}},
        {{"Trans_ID=T-1"}, 1, {{"Trans_ID", "T-1"}, {"trans_id", kClock}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.calls.back());
        CAuthSecPay gateway;
        const std::time_t before = std::time(nullptr);
        int count = -1;
        for (const char* text : c.calls) {
            count = gateway.SetParameters(text);
        }
        const std::time_t after = std::time(nullptr);
        EXPECT_EQ(count, c.count);
        ASSERT_EQ(gateway.m_Params.size(), c.params.size());
        for (const auto& [name, value] : c.params) {
            if (value == kClock) {
                ExpectClock(gateway.m_Params[name], before, after);
            } else {
                EXPECT_EQ(gateway.m_Params[name], value) << name;
            }
        }
    }
}

TEST(SecPay, SendsAnEscapedQueryAndKeepsTheCleanedAnswer) {
    pgvtest::CRecordingGateway<CAuthSecPay> gateway;
    gateway.answer = "?valid=true&Code=A\r\n";
    const std::time_t before = std::time(nullptr);
    gateway.SetParameters("Trans_ID=my id|amount=1.00");
    const std::string request = gateway.SendNow();

    const std::string named = "Trans_ID=my%20id&amount=1.00&trans_id=";
    ASSERT_EQ(request.compare(0, named.size(), named), 0) << request;
    ExpectClock(request.substr(named.size()), before, std::time(nullptr));
    EXPECT_EQ(gateway.url, "https://www.secpay.com/java-bin/ValCard?");
    EXPECT_EQ(gateway.GetRequestFlags(), kRequestEscape);
    EXPECT_TRUE(gateway.headers.empty());
    EXPECT_EQ(gateway.m_Results, (StringMap{{"all", "valid=true&Code=A"},
                                            {"code", "A"},
                                            {"message", "Approved"},
                                            {"pairs", "code=A,message=Approved,valid=true"},
                                            {"valid", "true"}}));
}

// "pairs" lists every result in name order, so it shows the whole reading at once.
TEST(SecPay, ParseResultsDropsTheQuestionMarkAndTheTrailingControls) {
    const struct {
        const char* answer;
        const char* kept;
        const char* pairs;
    } cases[] = {
        {"?a=1&B=x\r\n", "a=1&B=x", "a=1,b=x,message=Approved"},
        {"?VALID=true&Trans_Id=AbC", "VALID=true&Trans_Id=AbC",
         "message=Approved,trans_id=AbC,valid=true"},
        {"?code=N&Message=Declined", "code=N&Message=Declined", "code=N,message=Declined"},
        {"?code=N&message=", "code=N&message=", "code=N,message="},
        {"valid=true", "valid=true", "message=Approved,valid=true"},
        {"&valid=true", "&valid=true", "message=Approved,valid=true"},
        {"?valid=false&code=N", "valid=false&code=N", "code=N,valid=false"},
        {"?b=2 \t\x7F", "b=2 ", "b=2 ,message=Approved"},
        {"?b=x\x01y\n", "b=x\x01y", "b=x\x01y,message=Approved"},
        {"?name=Jos\xC3\xA9", "name=Jos\xC3\xA9", "message=Approved,name=Jos\xC3\xA9"},
        {"?a=1&&junk&a=2", "a=1&&junk&a=2", "a=2,message=Approved"},
        {"?", "", "message=Approved"},
        {"", "", "message=Approved"},
        {"\r\n\t", "", "message=Approved"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        CAuthSecPay gateway;
        std::string answer = c.answer;
        EXPECT_TRUE(gateway.ParseResults(answer));
        EXPECT_EQ(answer, c.kept);
        EXPECT_EQ(gateway.m_Results["pairs"], c.pairs);
    }
}

}  // namespace
