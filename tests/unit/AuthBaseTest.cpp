// The base class's parameters and results, URL escaping and card-data masking.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "gateway/CardData.h"
#include "gateway/URLEscape.h"
#include "gateways/NetworkMerchants.h"
#include "gateways/PayPal.h"

namespace {

const char kNoResult[] = "Error - no result obtained";

TEST(Parameters, ParseParamsSplitsPairs) {
    const struct {
        const char* text;
        bool lowerCase;
        int count;
        StringMap added;  // to a map that already holds kept=yes
    } cases[] = {{"|a=1||b=2|", false, 2, {{"a", "1"}, {"b", "2"}}},
                 {"a=1=2", false, 1, {{"a", "1=2"}}},
                 {"b=|=x", false, 2, {{"b", ""}, {"", "x"}}},
                 {"novalue|k=3", false, 1, {{"k", "3"}}},
                 {"a=1|a=2", false, 2, {{"a", "2"}}},
                 {" A = 1 ", false, 1, {{" A ", " 1 "}}},
                 {"X_Amount=5|kept=new", true, 2, {{"x_amount", "5"}, {"kept", "new"}}},
                 {nullptr, false, 0, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        StringMap into = {{"kept", "yes"}};
        StringMap expected = c.added;
        expected.insert({"kept", "yes"});
        EXPECT_EQ(CAuthBase::ParseParams(c.text, into, '|', c.lowerCase), c.count);
        EXPECT_EQ(into, expected);
    }
}

TEST(Parameters, SetParametersAccumulatesUntilClear) {
    pgvtest::CFieldsGateway gateway;
    EXPECT_EQ(gateway.SetParameters("X_Amount=1.00|a=1"), 2);
    EXPECT_EQ(gateway.SetParameters("b=2|a=3"), 2);
    EXPECT_EQ(gateway.m_Params, (StringMap{{"X_Amount", "1.00"}, {"a", "3"}, {"b", "2"}}));
    gateway.m_Results["x"] = "1";
    gateway.m_Normalised["pgv.status"] = "approved";
    gateway.Clear();
    EXPECT_TRUE(gateway.m_Params.empty() && gateway.m_Results.empty() &&
                gateway.m_Normalised.empty());
}

TEST(Results, ParseResultsStoresFieldsByPosition) {
    const struct {
        const char* response;
        StringMap results;
    } cases[] = {{"1,2,3", {{"x", "1"}, {"y", "2"}, {"z", "3"}}},
                 {" 1 ,,3,4", {{"x", " 1 "}, {"z", "3"}}},
                 {"1,2,", {{"x", "1"}, {"y", "2"}}},
                 {"1", {{"x", "1"}}},
                 {"", {}}};
    for (const auto& c : cases) {
        pgvtest::CFieldsGateway gateway;
        std::string response = c.response;
        EXPECT_TRUE(gateway.ParseResults(response));
        EXPECT_EQ(gateway.m_Results, c.results) << '"' << c.response << '"';
        EXPECT_EQ(response, c.response);
    }
}

TEST(Results, PairsAndLookup) {
    pgvtest::CFieldsGateway gateway;
    gateway.CreateResultsField();
    EXPECT_EQ(gateway.m_Results, (StringMap{{"pairs", ""}}));
    gateway.m_Results = {{"y", ""}, {"x", "a,b=c"}};
    gateway.CreateResultsField();
    EXPECT_EQ(gateway.m_Results["pairs"], "x=a,b=c,y=");

    // Before a send no normalised name is answered, and a result or parameter of that name
    // does not stand in for it; other "pgv." names are ordinary.
    gateway.m_Results = {
        {"x_response_code", "1"}, {"shared", "from results"}, {"pgv.status", "from results"}};
    gateway.m_Params = {{"x_login", "merchant"},
                        {"X_Amount", "5.00"},
                        {"shared", "from params"},
                        {"pgv.message", "from params"},
                        {"pgv.other", "from params"}};
    const std::pair<const char*, const char*> cases[] = {
        {"X_Response_Code", "1"},   {"X_LOGIN", "merchant"},     {"shared", "from results"},
        {"X_Amount", kNoResult},    {"missing", kNoResult},      {"PGV.Status", kNoResult},
        {"pgv.message", kNoResult}, {"pgv.other", "from params"}};
    for (const auto& [name, expected] : cases) {
        std::string value = "previous content";
        gateway.GetResponseFieldValue(name, value);
        EXPECT_EQ(value, expected) << name;
    }
    gateway.m_Normalised = {{"pgv.status", "declined"}, {"pgv.message", ""}};
    for (const auto& [name, expected] :
         {std::pair{"PGV.STATUS", "declined"}, {"pgv.message", ""}, {"pgv.avs", kNoResult}}) {
        std::string value;
        gateway.GetResponseFieldValue(name, value);
        EXPECT_EQ(value, expected) << name;
    }
}

std::string Repeat(const std::string& text, size_t times) {
    std::string out;
    while (times-- > 0) {
        out += text;
    }
    return out;
}

TEST(UrlEscape, EscapesSyntaxAndNonPrintableBytes) {
    const struct {
        std::string in;
        int outSize;
        std::string out;
    } cases[] = {{"AZaz09!'()*-./:_~", 256, "AZaz09!'()*-./:_~"},
                 {";\\?@&=+$, <>#%\"{}|^[]`", 256,
                  "%3B%5C%3F%40%26%3D%2B%24%2C%20%3C%3E%23%25%22%7B%7D%7C%5E%5B%5D%60"},
                 {"\t\x1F\r\n\x7F\xE9", 256, "%09%1F%0D%0A%7F%E9"},
                 {std::string(300, 'a'), 256, std::string(255, 'a')},
                 {std::string(256, ' '), 256, Repeat("%20", 255)},
                 // The cut counts bytes, so a two-byte character can lose its second half.
                 {Repeat("\xC3\xA9", 150), 256, Repeat("%C3%A9", 127) + "%C3"},
                 {"abc", 3, "ab"},
                 {"abc", 1, ""},
                 {"abc", -1, ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(URLEscape(c.in.c_str(), c.outSize), c.out)
            << c.in.size() << " bytes \"" << c.in.substr(0, 40) << "\", size " << c.outSize;
    }
    EXPECT_EQ(URLEscape(nullptr, 256), "");
}

TEST(CardData, CardNumbersAndSecretNames) {
    const std::pair<const char*, bool> numbers[] = {
        {"4111111111111111", true},        {"4111111111111112", false},
        {"411100000008", false},           {"4222222222222", true},
        {"4000000000000000006", true},     {"40000000000000000002", false},
        {"4111 1111-1111 1111", true},     {" 4111111111111111", false},
        {"4111111111111111 ", false},      {"4111  1111 1111 1111", true},
        {"4111 -1111 1111 1111", true},    {"4111.1111.1111.1111", true},
        {"4111%2B1111+1111%091111", true}, {"4111\xA0\xA0 1111 1111 1111", true},
        {"4111111111111111a", false},      {"", false}};
    for (const auto& [value, card] : numbers) {
        EXPECT_EQ(IsCardNumber(value), card) << '"' << value << '"';
    }
    EXPECT_EQ(MaskCardNumber("4111111111111111"), "XXXXXXXXXXXX1111");
    EXPECT_EQ(MaskCardNumber("4111-1111 1111 12 34"), "XXXX-XXXX XXXX 12 34");

    CAuthNMI nmi;
    CPayPal payflow;
    const char* const* const common = nullptr;
    const struct {
        const char* name;
        const char* const* gatewayNames;
        bool secret;
    } names[] = {{"X_CARD_NUM", common, true},
                 {"CardNumber", common, true},
                 {"ACCT", common, true},
                 {"x_card_code", common, true},
                 {"CVV2", common, true},
                 {"x_tran_key", common, true},
                 {"PWD", common, true},
                 {"PWD[8]", common, true},
                 {"x_password", common, true},
                 {"track1", common, true},
                 {"swipe_data", common, true},
                 {"x_amount", common, false},
                 {"x_trans_id", common, false},
                 {"checkaccount", common, false},
                 {"checkaccount", nmi.GetSecretParameterNames(), true},
                 {"CheckABA", nmi.GetSecretParameterNames(), true},
                 {"drivers_license_number", nmi.GetSecretParameterNames(), true},
                 {"customer_ssn", nmi.GetSecretParameterNames(), true},
                 {"classname", nmi.GetSecretParameterNames(), false},
                 {"SS", payflow.GetSecretParameterNames(), true},
                 {"DL", payflow.GetSecretParameterNames(), true},
                 {"BILLTOADDRESS", payflow.GetSecretParameterNames(), false},
                 {"BILLTOMIDDLENAME", payflow.GetSecretParameterNames(), false}};
    for (const auto& c : names) {
        EXPECT_EQ(IsSecretParameterName(c.name, c.gatewayNames), c.secret) << c.name;
    }
}

// The five ways secrets used to reach the log: a name with a bracket, rules that hid a secret
// from one another, secrets the gateway echoes, names the common list lacks; and the lines they
// reach it in: parameters, request, connection, "all", "pairs" and the results.
TEST(CardData, LogMaskHidesSecretsInLines) {
    CAuthNMI nmi;
    CPayPal payflow;
    const char* const* const common = nullptr;
    const StringMap card = {{"x_description", "4111 1111 1111 1111"}, {"x_amount", "12.00"}};
    const StringMap code = {{"x_card_code", "123"}, {"x_invoice_num", "123"}};
    const StringMap password = {{"x_password", "p@ss word"}};
    const StringMap bracketed = {{"PWD[8]", "s3cretPw"}, {"CVV2[3]", "123"}};
    const StringMap nmiBracketed = {{"password[]", "BracketPw1"}, {"cvv[]", "12"}};
    const StringMap track = {{"x_card_num", "4111111111111111"},
                             {"x_track2", "4111111111111111=30121010000012345678"}};
    const StringMap cardInKey = {{"x_tran_key", "4111111111111111Zk9"}};
    const StringMap secPay = {{"password", "Pw"}, {"remotepassword", "Pw,rest9"}};
    const StringMap echoed = {{"password", "Zk9Echo77"}, {"cvv", "123"}};
    const StringMap check = {{"checkaccount", "123456789"}, {"checkaba", "021000021"}};
    const StringMap swiped = {{"x_description", "%B4111111111111111^DOE/JOHN^3012101?"}};
    const StringMap glued = {{"CVV2", "11111111111111"}};
    const StringMap escaped = {
        {"x_password", "my secret+pw"}, {"x_tran_key", "Ab/cd9Zq"}, {"x_card_code", "1+2"}};
    const StringMap afterPercent = {{"x_password", "Ab cd9Zq"}};
    const StringMap separated = {{"x_card_num", "5424 - 0000\t0000.0015"}};
    const StringMap lastDigits = {{"x_password", "4+11+1"}};
    const StringMap escapedCard = {{"x_description", "Card 4111%201111%201111%201111 ok"}};
    const StringMap none = {};
    const struct {
        const StringMap& params;
        const char* const* gatewayNames;
        const char* line;
        const char* masked;
    } cases[] = {
        {card, common, "x_description=4111 1111 1111 1111, echo 4111 1111 1111 1111.",
         "x_description=XXXX XXXX XXXX 1111, echo XXXX XXXX XXXX 1111."},
        {card, common, " URL - x_amount=12.00&x_description=4111%201111%201111%201111",
         " URL - x_amount=12.00&x_description=XXXX%20XXXX%20XXXX%201111"},
        {code, common, "x_card_code[3]=123", "x_card_code[3]=********"},
        {code, common, "a=1&x_card_code=123&b=2", "a=1&x_card_code=********&b=2"},
        {code, common, "x_card_code=123,x_invoice_num=123|x_po_num=123",
         "x_card_code=********,x_invoice_num=123|x_po_num=123"},
        {code, common, "x_card_code=1234", "x_card_code=1234"},
        {code, common, "x_card_code[x]=123", "x_card_code[x]=123"},
        {code, common, "my_x_card_code=123", "my_x_card_code=123"},
        {password, common, "x_password=p@ss word&x_password=p%40ss%20word",
         "x_password=********&x_password=********"},
        {bracketed, payflow.GetSecretParameterNames(), "  PWD[8]=s3cretPw", "  PWD[8]=********"},
        {bracketed, payflow.GetSecretParameterNames(), " URL - CVV2[3][3]=123&PWD[8][8]=s3cretPw",
         " URL - CVV2[3][3]=********&PWD[8][8]=********"},
        {bracketed, payflow.GetSecretParameterNames(), "CVV2[3]=123&CVV2=123&XCVV2=123",
         "CVV2[3]=********&CVV2=********&XCVV2=123"},
        {nmiBracketed, nmi.GetSecretParameterNames(), "  password[]=BracketPw1",
         "  password[]=********"},
        {nmiBracketed, nmi.GetSecretParameterNames(),
         " URL - cvv%5B%5D=12&password%5B%5D=BracketPw1",
         " URL - cvv%5B%5D=********&password%5B%5D=********"},
        {nmiBracketed, nmi.GetSecretParameterNames(),
         "Opening connection to https://secure.networkmerchants.com/api/"
         "transact.php?cvv%5B%5D=12&password%5B%5D=BracketPw1",
         "Opening connection to https://secure.networkmerchants.com/api/"
         "transact.php?cvv%5B%5D=********&password%5B%5D=********"},
        {track, common,
         "x_card_num=4111111111111111|x_track2=4111111111111111=30121010000012345678",
         "x_card_num=XXXXXXXXXXXX1111|x_track2=********"},
        {cardInKey, common, "x_tran_key=4111111111111111Zk9", "x_tran_key=********"},
        {secPay, common, "password=Pw|remotepassword=Pw,rest9",
         "password=********|remotepassword=********"},
        {echoed, nmi.GetSecretParameterNames(),
         "  all=response=1&cvv=123&password=Zk9Echo77&id=123",
         "  all=response=1&cvv=********&password=********&id=123"},
        {echoed, nmi.GetSecretParameterNames(), "  pairs=cvv=123,note=Zk9Echo77;123",
         "  pairs=cvv=********,note=********;123"},
        {echoed, nmi.GetSecretParameterNames(), "  password=Zk9Echo77", "  password=********"},
        {check, common, "checkaccount=123456789&checkaba=021000021",
         "checkaccount=123456789&checkaba=021000021"},
        {check, nmi.GetSecretParameterNames(), "checkaccount=123456789&checkaba=021000021",
         "checkaccount=********&checkaba=********"},
        {swiped, common, "x_description=%B4111111111111111^DOE/JOHN^3012101?",
         "x_description=********"},
        {none, common, "all=|1|,|card 4007000000027 ok|", "all=|1|,|card XXXXXXXXX0027 ok|"},
        {separated, common, " URL - x_card_num=5424%20-%200000%090000.0015&x_type=AUTH_ONLY",
         " URL - x_card_num=XXXX%20-%20XXXX%09XXXX.0015&x_type=AUTH_ONLY"},
        // A card number the caller wrote escaped, escaped again by the request.
        {escapedCard, common, " URL - x_description=Card%204111%25201111%25201111%25201111%20ok",
         " URL - x_description=Card%20XXXX%2520XXXX%2520XXXX%25201111%20ok"},
        // A secret of a card number's last four digits and separators, which its mask shows.
        {lastDigits, common, "  all=b=4111 1111 1111 11114+11+1&c=1", "  all=b=4111 ********&c=1"},
        {lastDigits, common,
         "b=%34%31%31%31%20%31%31%31%31%20%31%31%31%31%20%31%31%31%314%2B11%2B1",
         "b=%34%31%31%31%20********"},
        // Digits that were too many for a card number until a secret among them was hidden.
        {glued, common, "ref=111111111111115424000000000015", "ref=********XXXXXXXXXXXX0015"},
        // Other escapings than the request's own: "+" for a blank, %XX in lower case, a byte the
        // request leaves as it is.
        {escaped, common, "  all=x_password=my+secret%2Bpw&note=my%20secret%2bpw",
         "  all=x_password=********&note=********"},
        {escaped, common, "  all=key=Ab%2Fcd9Zq,Ab%2fcd9Zq", "  all=key=********,********"},
        // A "%1" just before the request's escaping reads as an escape with its first byte.
        {afterPercent, common, " URL - a=%1Ab%20cd9Zq", " URL - a=%1********"},
        {escaped, common, "x_card_code=1%2b2&x_card_code=1%202|x_card_code=1+2",
         "x_card_code=********&x_card_code=********|x_card_code=********"},
        // A line end ends a short secret's value.
        {echoed, nmi.GetSecretParameterNames(), "  all=cvv=123\r\nid=123\ncvv=123\n",
         "  all=cvv=********\r\nid=123\ncvv=********\n"}};
    for (const auto& c : cases) {
        EXPECT_EQ(BuildLogMask(c.params, c.gatewayNames).Apply(c.line), c.masked);
    }
}

}  // namespace
