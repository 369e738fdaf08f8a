#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingGateway.h"
#include "gateways/PayPal.h"

namespace {

constexpr char kLive[] = "https://payflowpro.paypal.com";
constexpr char kTest[] = "https://pilot-payflowpro.paypal.com";

TEST(PayPal, RequestIsLengthTaggedAndUnescaped) {
    const std::string long300(300, 'v');
    const struct {
        std::vector<std::string> calls;
        std::string request;
        const char* url;
    } cases[] = {
        {{"AMT=10.00|TENDER=C"}, "AMT[5]=10.00&TENDER[1]=C", kLive},
        {{"X=a&b=c"}, "X[5]=a&b=c", kLive},
        {{"X=|Y=a b"}, "X[0]=&Y[3]=a b", kLive},
        {{"NAME=Jos\xC3\xA9"}, "NAME[5]=Jos\xC3\xA9", kLive},
        {{"X=" + long300}, "X[300]=" + long300, kLive},
        {{"test_account=1|X-VPS-REQUEST-ID=r1|AMT=1"}, "AMT[1]=1", kTest},
        {{"test_account=|AMT=1"}, "AMT[1]=1", kTest},
        {{"test_account=0|AMT=1"}, "AMT[1]=1", kTest},
        {{"test_account=1", "AMT=1"}, "AMT[1]=1", kLive},
        {{"TEST_ACCOUNT=1|x-vps-request-id=r1"}, "TEST_ACCOUNT[1]=1&x-vps-request-id[2]=r1", kLive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.calls.back());
        pgvtest::CRecordingGateway<CPayPal> gateway;
        for (const std::string& text : c.calls) {
            gateway.SetParameters(text.c_str());
        }
        EXPECT_EQ(gateway.SendNow(), c.request);
        EXPECT_EQ(gateway.url, c.url);
        EXPECT_EQ(gateway.GetRequestFlags(), kRequestPost | kRequestLengthTags);
    }
}

// The id is what lets a resent transaction be recognised, so it outlives Clear and later calls.
TEST(PayPal, RequestIdHeaderStaysUntilANewOneIsGiven) {
    const struct {
        bool clearFirst;
        const char* text;  // null: send without setting parameters
        const char* id;
    } steps[] = {
        {false, "AMT=1", ""},
        {false, "X-VPS-REQUEST-ID=id-1|AMT=1", "id-1"},
        {true, "AMT=2", "id-1"},
        {true, nullptr, "id-1"},
        {false, "x-vps-request-id=other", "id-1"},
        {true, "X-VPS-REQUEST-ID=id-2", "id-2"},
        {false, "X-VPS-REQUEST-ID=", ""},
    };
    pgvtest::CRecordingGateway<CPayPal> gateway;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.text ? step.text : "(no parameters)");
        if (step.clearFirst) {
            gateway.Clear();
        }
        if (step.text) {
            gateway.SetParameters(step.text);
        }
        const std::string request = gateway.SendNow();
        EXPECT_EQ(request.find("X-VPS-REQUEST-ID"), std::string::npos) << request;
        EXPECT_EQ(gateway.headers, (std::vector<std::string>{
                                       "X-VPS-CLIENTTIMEOUT: 45",
                                       "X-VPS-VITINTEGRATION-PRODUCT: Paygrove",
                                       "X-VPS-VITINTEGRATION-VERSION: 5.0",
                                       std::string("X-VPS-REQUEST-ID: ") + step.id,
                                       "X-VPS-VIT-OS-NAME: Linux",
                                   }));
    }
}

TEST(PayPal, ParseResultsHonoursLengthTags) {
    const struct {
        const char* answer;
        const char* pairs;
    } cases[] = {
        {"RESULT=0&RESPMSG=Approved", "respmsg=Approved,result=0"},
        {"BILLTOFIRSTNAME=Adrian&BILLTOLASTNAME[6]=&= Foo&TEST=Hi",
         "billtofirstname=Adrian,billtolastname=&= Foo,test=Hi"},
        {"A[5]=a&b=c", "a=a&b=c"},
        {"N[10]=abc", "n=abc"},
        {"N[0]=&M=1", "m=1,n="},
        {"N[2]=abcd&M=1", "m=1,n=ab"},
        {"N[x]=1&N[]=2", "n[]=2,n[x]=1"},
        {"A=1&a=2", "a=2"},
        {"junk&A=1&&B&=e", "=e,a=1"},
        {"A=x=y&B=", "a=x=y,b="},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        CPayPal gateway;
        std::string answer = c.answer;
        EXPECT_TRUE(gateway.ParseResults(answer));
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(gateway.m_Results["pairs"], c.pairs);
    }
}

}  // namespace
