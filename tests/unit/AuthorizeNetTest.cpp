#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gateways/AuthorizeNet.h"
#include "gateways/GatewayHosts.h"

namespace {

const StringMap kStandardForced = {{"x_delim_data", "True"},
                                   {"x_relay_response", "False"},
                                   {"x_delim_char", ","},
                                   {"x_encap_char", "|"}};
const StringMap kCardPresentForced = {
    {"x_response_format", "1"}, {"x_delim_char", ","}, {"x_encap_char", "|"}};

StringMap With(StringMap forced, const StringMap& caller) {
    forced.insert(caller.begin(), caller.end());
    return forced;
}

std::string Endpoint(EGatewayHost host) {
    return std::string("https://") + GatewayHost(host) + "/gateway/transact.dll?";
}

TEST(AuthorizeNet, SetParametersConsumesOptionsAndForcesAnswerFormat) {
    const struct {
        const char* text;
        int count;
        StringMap params;
    } cases[] = {{"x_login=me|test_account=1|_hostname=https://h.example/", 3,
                  With(kStandardForced, {{"x_login", "me"}})},
                 {"x_delim_data=False|x_relay_response=True|x_delim_char=;|x_encap_char=", 4,
                  kStandardForced},
                 {"x_cpversion=1.0|x_response_format=0|x_delim_char=;|test_account=1", 4,
                  With(kCardPresentForced, {{"x_cpversion", "1.0"}})},
                 {"x_cpversion=1.0|x_delim_data=False", 2,
                  With(kCardPresentForced, {{"x_cpversion", "1.0"}, {"x_delim_data", "False"}})},
                 {"Test_Account=1|_HostName=h|X_CPVERSION=1.0", 3,
                  With(kStandardForced,
                       {{"Test_Account", "1"}, {"_HostName", "h"}, {"X_CPVERSION", "1.0"}})},
                 {"", 0, kStandardForced}};
    for (const auto& c : cases) {
        CAuthAuthorizeNet gateway;
        EXPECT_EQ(gateway.SetParameters(c.text), c.count) << c.text;
        EXPECT_EQ(gateway.m_Params, c.params) << c.text;
    }
}

TEST(AuthorizeNet, GetURLFollowsTheLastParameters) {
    const struct {
        std::vector<const char*> calls;
        std::string url;
    } cases[] = {
        {{"_hostname=https://sandbox.example/pay?"}, "https://sandbox.example/pay?"},
        {{"_hostname=https://h.example/|x_cpversion=1.0|test_account=1"}, "https://h.example/"},
        {{"x_login=me"}, Endpoint(EGatewayHost::AuthorizeNetLive)},
        {{"test_account=1"}, Endpoint(EGatewayHost::AuthorizeNetLive)},
        {{"x_cpversion=1.0|test_account=1"}, Endpoint(EGatewayHost::AuthorizeNetTest)},
        {{"x_cpversion=1.0"}, Endpoint(EGatewayHost::AuthorizeNetCardPresent)},
        {{"x_cpversion=1.0|Test_Account=1"}, Endpoint(EGatewayHost::AuthorizeNetCardPresent)},
        {{"_hostname=https://h.example/", "x_amount=1.00"},
         Endpoint(EGatewayHost::AuthorizeNetLive)},
        {{"x_login=me", "x_cpversion=1.0"}, Endpoint(EGatewayHost::AuthorizeNetCardPresent)}};
    for (const auto& c : cases) {
        CAuthAuthorizeNet gateway;
        for (const char* text : c.calls) {
            gateway.SetParameters(text);
        }
        ASSERT_NE(gateway.GetURL(), nullptr);
        EXPECT_EQ(gateway.GetURL(), c.url) << c.calls.back();
        EXPECT_EQ(gateway.GetRequestFlags(), kRequestEscape);
    }
    EXPECT_EQ(Endpoint(EGatewayHost::AuthorizeNetLive),
              "https://secure.authorize.net/gateway/transact.dll?");
}

// "pairs" holds every result, in name order, so it shows the whole outcome at once.
TEST(AuthorizeNet, ParseResultsReadsPlainAndEncapsulatedAnswers) {
    const struct {
        bool cardPresent;
        const char* answer;
        const char* keptAnswer;  // what remains for the flow to store as "all"; null: all of it
        const char* pairs;
    } cases[] = {
        {false, "1,2,3,4,5,6,7", nullptr,
         "x_auth_code=5,x_avs_code=6,x_response_code=1,x_response_reason_code=3,"
         "x_response_reason_text=4,x_response_subcode=2,x_trans_id=7"},
        {true, "1,2,3,4,5,6,7", nullptr,
         "x_auth_code=5,x_avs_code=6,x_credit_card_response=7,x_response_code=2,"
         "x_response_reason_code=3,x_response_reason_text=4,x_version=1"},
        {false, "HTTP/1.1 200 OK\r\nServer: x\r\n\r\n1,,3", "1,,3",
         "x_response_code=1,x_response_reason_code=3"},
        {false, "1,2,3\n", nullptr,
         "x_response_code=1,x_response_reason_code=3\n,x_response_subcode=2"},
        {false, "first line\nsecond line", "second line", "x_response_code=second line"},
        {false, "|1|,|1|,|1|,|This transaction has been approved, thanks.|,|AB12CD|,|Y|,|123|",
         nullptr,
         "x_auth_code=AB12CD,x_avs_code=Y,x_response_code=1,x_response_reason_code=1,"
         "x_response_reason_text=This transaction has been approved, thanks.,"
         "x_response_subcode=1,x_trans_id=123"},
        {false, "Header\n|3|,||,|2|", "|3|,||,|2|", "x_response_code=3,x_response_reason_code=2"},
        {true, "|1.0|,|1|,||,|Approved, thanks|", nullptr,
         "x_response_code=1,x_response_reason_text=Approved, thanks,x_version=1.0"},
        {false, "||", nullptr, ""},
        {false, "", nullptr, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        CAuthAuthorizeNet gateway;
        gateway.SetParameters(c.cardPresent ? "x_cpversion=1.0" : "");
        std::string answer = c.answer;
        EXPECT_TRUE(gateway.ParseResults(answer));
        EXPECT_EQ(gateway.m_Results["pairs"], c.pairs);
        EXPECT_EQ(answer, c.keptAnswer ? c.keptAnswer : c.answer);
    }
}

// A line feed that ends the answer closes its last line; it must not make the values vanish or
// let a header line in front of them be read as values.
TEST(AuthorizeNet, TrailingLineFeedKeepsTheLastLine) {
    const struct {
        const char* answer;
        const char* keptAnswer;
        const char* pairs;
    } cases[] = {{"3\n", "3\n", "x_response_code=3\n"},
                 {"|3|\n", "|3|\n", "x_response_code=3"},
                 {"Header\n1,2,3\n", "1,2,3\n",
                  "x_response_code=1,x_response_reason_code=3\n,x_response_subcode=2"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        CAuthAuthorizeNet gateway;
        gateway.SetParameters("x_login=me");
        std::string answer = c.answer;
        gateway.ParseResults(answer);
        EXPECT_EQ(gateway.m_Results["pairs"], c.pairs);
        EXPECT_EQ(answer, c.keptAnswer);
    }
}

// Positions 41, 42 and 46 to 50 of the standard layout carry no name of their own.
TEST(AuthorizeNet, UnusedPositionsShareOneField) {
    std::vector<std::string> values(52);
    values[0] = "1";
    values[40] = "u41";
    values[45] = "u46";
    values[46] = "u47";
    values[51] = "Visa";
    std::string plain = values[0];
    std::string encapsulated = "|" + values[0];
    for (size_t i = 1; i < values.size(); ++i) {
        plain += "," + values[i];
        encapsulated += "|,|" + values[i];
    }
    for (std::string answer : {plain, encapsulated + "|"}) {
        CAuthAuthorizeNet gateway;
        gateway.SetParameters("x_login=me");
        gateway.ParseResults(answer);
        EXPECT_EQ(gateway.m_Results["pairs"], "Unused=u47,x_card_type=Visa,x_response_code=1");
    }
}

}  // namespace
