#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/Gateway.h"

namespace pgv::sandbox {
namespace {

constexpr SYearMonth kToday{2026, 6};
constexpr const char* kLive = "secure.authorize.net";
constexpr const char* kTest = "test.authorize.net";
constexpr const char* kCardPresent = "cardpresent.authorize.net";
constexpr const char* kPath = "/gateway/transact.dll";

// Values are written already percent-encoded; nullopt drops the parameter.
using Changes = std::vector<std::pair<std::string, std::optional<std::string>>>;

const Changes kAim = {{"x_login", "abc"},
                      {"x_tran_key", "key"},
                      {"x_delim_data", "TRUE"},
                      {"x_relay_response", "FALSE"},
                      {"x_delim_char", "%7C"},
                      {"x_amount", "12.50"},
                      {"x_card_num", "4111111111111111"},
                      {"x_exp_date", "1230"}};

const Changes kCardPresentParams = {{"x_cpversion", "1.0"},
                                    {"x_login", "abc"},
                                    {"x_tran_key", "key"},
                                    {"x_market_type", "2"},
                                    {"x_device_type", "4"},
                                    {"x_response_format", "1"},
                                    {"x_delim_char", "%7C"},
                                    {"x_amount", "5.00"},
                                    {"x_track2", "%3B4111111111111111%3D30121011000012345678%3F"}};

std::string Query(Changes params, const Changes& changes) {
    for (const auto& [name, value] : changes) {
        auto it = params.begin();
        while (it != params.end() && it->first != name) {
            ++it;
        }
        if (it == params.end()) {
            params.emplace_back(name, value);
        } else {
            it->second = value;
        }
    }
    std::string query;
    for (const auto& [name, value] : params) {
        if (value) {
            query += (query.empty() ? "" : "&") + name + "=" + *value;
        }
    }
    return query;
}

std::vector<std::string> Split(const std::string& text, char delimiter) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end = text.find(delimiter); end != std::string::npos;
         end = text.find(delimiter, start)) {
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    fields.push_back(text.substr(start));
    return fields;
}

class AuthorizeNet : public ::testing::Test {
protected:
    SHttpResponse Send(const std::string& host, const std::string& target,
                       const std::string& method = "GET", const std::string& body = "",
                       const std::string& contentType = "") {
        std::string raw = method + " " + target + " HTTP/1.0\r\nHost: " + host + "\r\n";
        if (!contentType.empty()) {
            raw += "Content-Type: " + contentType + "\r\n";
        }
        if (method == "POST" || method == "PUT") {
            raw += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        }
        raw += "\r\n" + body;
        CRequestParser parser;
        EXPECT_EQ(parser.Feed(raw), EParse::Complete) << parser.Failure().message;
        return gateway_->Handle(parser.Request());
    }

    std::vector<std::string> Fields(const std::string& host, const std::string& query) {
        const SHttpResponse response = Send(host, std::string(kPath) + "?" + query);
        EXPECT_EQ(response.status, 200) << response.body;
        return Split(response.body, '|');
    }

    std::unique_ptr<IGateway> gateway_ = MakeAuthorizeNet([] { return kToday; });
};

// The gateway's reason texts, by reason code.
const std::map<std::string, std::string> kReasonTexts = {
    {"1", "This transaction has been approved."},
    {"2", "This transaction has been declined."},
    {"3", "This transaction has been declined."},
    {"4", "This transaction has been declined."},
    {"5", "A valid amount is required."},
    {"6", "The credit card number is invalid."},
    {"7", "The credit card expiration date is invalid."},
    {"8", "The credit card has expired."},
    {"12", "An authorization code is required but not present."},
    {"13", "The merchant login ID or password is invalid or the account is inactive."},
    {"15", "The transaction ID is invalid."},
    {"27",
     "The transaction resulted in an AVS mismatch. The address provided does not match billing "
     "address of cardholder."},
    {"45", "This transaction has been declined."},
    {"68", "The version parameter is invalid."},
    {"69", "The transaction type is invalid."},
    {"84", "The device type is invalid."},
    {"85", "The market type is invalid."},
    {"86", "The response format is invalid."},
    {"87", "Transactions of this market type cannot be processed on this system."},
    {"88", "Track1 data is not in a valid format."},
    {"89", "Track2 data is not in a valid format."},
};

const Changes kDeclineCard = {{"x_card_num", "4222222222222"}};

Changes With(Changes changes, const Changes& more) {
    changes.insert(changes.end(), more.begin(), more.end());
    return changes;
}

struct SDecisionCase {
    const char* name;
    const char* host;
    Changes changes;
    // "code/reason/AVS/card code response"; the last two only for card-not-present
    std::string expected;
};

void PrintTo(const SDecisionCase& c, std::ostream* out) {
    *out << c.name;
}

class AimDecision : public AuthorizeNet, public ::testing::WithParamInterface<SDecisionCase> {};

TEST_P(AimDecision, AnswersCodeReasonAndCodes) {
    const SDecisionCase& c = GetParam();
    const std::vector<std::string> expected = Split(c.expected, '/');
    const std::vector<std::string> fields = Fields(c.host, Query(kAim, c.changes));
    ASSERT_EQ(fields.size(), 68u);
    EXPECT_EQ(fields[0], expected.at(0));
    EXPECT_EQ(fields[1], "1");
    EXPECT_EQ(fields[2], expected.at(1));
    EXPECT_EQ(fields[3], kReasonTexts.at(expected.at(1)));
    EXPECT_EQ(fields[5], expected.at(2));
    EXPECT_EQ(fields[38], expected.size() > 3 ? expected[3] : "");
    const bool approved = expected[0] == "1";
    const bool error = expected[0] == "3";
    EXPECT_EQ(fields[4].size(), approved ? 6u : 0u) << fields[4];
    EXPECT_EQ(fields[6], error ? "0" : "2000000001");
    EXPECT_EQ(fields[39], approved ? "2" : "");
    EXPECT_EQ(fields[37].size(), 32u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AimDecision,
    ::testing::Values(
        SDecisionCase{"Approved", kLive, {}, "1/1/Y"},
        SDecisionCase{"ApprovedOnTestHost", kTest, {}, "1/1/Y"},
        SDecisionCase{"CardCodeMatches", kLive, {{"x_card_code", "123"}}, "1/1/Y/M"},
        SDecisionCase{"CardCodeMismatchApproved", kLive, {{"x_card_code", "901"}}, "1/1/Y/N"},
        SDecisionCase{"NoLogin", kLive, {{"x_login", std::nullopt}}, "3/13/P"},
        SDecisionCase{"EmptyKey", kLive, {{"x_tran_key", ""}}, "3/13/P"},
        SDecisionCase{"NoAmount", kLive, {{"x_amount", std::nullopt}}, "3/5/P"},
        SDecisionCase{"WordAmount", kLive, {{"x_amount", "ten"}}, "3/5/P"},
        SDecisionCase{"ZeroAmount", kLive, {{"x_amount", "0.00"}}, "3/5/P"},
        SDecisionCase{"NegativeAmount", kLive, {{"x_amount", "-1.00"}}, "3/5/P"},
        SDecisionCase{"ThreeDecimals", kLive, {{"x_amount", "1.005"}}, "3/5/P"},
        SDecisionCase{"DollarSign", kLive, {{"x_amount", "%241.00"}}, "3/5/P"},
        SDecisionCase{"FailsLuhn", kLive, {{"x_card_num", "4111111111111112"}}, "3/6/P"},
        SDecisionCase{
            "CardWithBlanks", kLive, {{"x_card_num", "4111%201111%201111%201111"}}, "3/6/P"},
        SDecisionCase{"NoCard", kLive, {{"x_card_num", std::nullopt}}, "3/6/P"},
        SDecisionCase{"BadMonth", kLive, {{"x_exp_date", "1330"}}, "3/7/P"},
        SDecisionCase{"NoExpiry", kLive, {{"x_exp_date", std::nullopt}}, "3/7/P"},
        SDecisionCase{"Expired", kLive, {{"x_exp_date", "05%2F26"}}, "3/8/P"},
        SDecisionCase{"ExpiresThisMonth", kLive, {{"x_exp_date", "2026-06"}}, "1/1/Y"},
        SDecisionCase{"DeclineCard2", kLive, With(kDeclineCard, {{"x_amount", "2.00"}}), "2/2/Y"},
        SDecisionCase{"DeclineCard3", kLive, With(kDeclineCard, {{"x_amount", "3.99"}}), "2/3/Y"},
        SDecisionCase{"DeclineCard4", kLive, With(kDeclineCard, {{"x_amount", "4"}}), "2/4/Y"},
        SDecisionCase{"DeclineCard27", kLive, With(kDeclineCard, {{"x_amount", "27.00"}}),
                      "2/27/N"},
        SDecisionCase{"DeclineCard45", kLive, With(kDeclineCard, {{"x_amount", "45.00"}}),
                      "2/45/N"},
        SDecisionCase{"DeclineCardOther", kLive, With(kDeclineCard, {{"x_amount", "100.00"}}),
                      "2/2/Y"},
        SDecisionCase{"DeclineCardKeepsCardCode", kLive,
                      With(kDeclineCard, {{"x_card_code", "901"}}), "2/2/Y/N"},
        SDecisionCase{"DeclineZip", kLive, {{"x_zip", "46282"}}, "2/2/N"},
        SDecisionCase{"UnknownType", kLive, {{"x_type", "SALE"}}, "3/69/P"},
        SDecisionCase{"LowerCaseType", kLive, {{"x_type", "auth_only"}}, "1/1/Y"},
        SDecisionCase{"VoidWithoutId", kLive, {{"x_type", "VOID"}}, "3/15/P"},
        SDecisionCase{
            "VoidWithWordId", kLive, {{"x_type", "VOID"}, {"x_trans_id", "abc"}}, "3/15/P"},
        SDecisionCase{"Void",
                      kLive,
                      {{"x_type", "VOID"},
                       {"x_trans_id", "2000000000"},
                       {"x_amount", std::nullopt},
                       {"x_card_num", std::nullopt},
                       {"x_exp_date", std::nullopt}},
                      "1/1/Y"},
        SDecisionCase{"PriorAuthCapture",
                      kLive,
                      {{"x_type", "PRIOR_AUTH_CAPTURE"}, {"x_trans_id", "1"}, {"x_card_num", ""}},
                      "1/1/Y"},
        SDecisionCase{"PriorAuthCaptureBadAmount",
                      kLive,
                      {{"x_type", "PRIOR_AUTH_CAPTURE"}, {"x_trans_id", "1"}, {"x_amount", "x"}},
                      "3/5/P"},
        SDecisionCase{"CreditWithLastFour",
                      kLive,
                      {{"x_type", "CREDIT"},
                       {"x_trans_id", "1"},
                       {"x_card_num", "1111"},
                       {"x_exp_date", std::nullopt}},
                      "1/1/Y"},
        SDecisionCase{"CreditWithoutCard",
                      kLive,
                      {{"x_type", "CREDIT"}, {"x_trans_id", "1"}, {"x_card_num", "11"}},
                      "3/6/P"},
        SDecisionCase{"CreditWithoutAmount",
                      kLive,
                      {{"x_type", "CREDIT"}, {"x_trans_id", "1"}, {"x_amount", std::nullopt}},
                      "3/5/P"},
        SDecisionCase{"CreditWithoutId", kLive, {{"x_type", "CREDIT"}}, "3/15/P"},
        SDecisionCase{"CaptureOnlyWithoutAuthCode", kLive, {{"x_type", "CAPTURE_ONLY"}}, "3/12/P"},
        SDecisionCase{
            "CaptureOnly", kLive, {{"x_type", "CAPTURE_ONLY"}, {"x_auth_code", "ABC123"}}, "1/1/Y"},
        SDecisionCase{"OnCardPresentHost", kCardPresent, {}, "3/87/P"}),
    [](const auto& info) { return info.param.name; });

class CardPresentDecision : public AuthorizeNet,
                            public ::testing::WithParamInterface<SDecisionCase> {};

TEST_P(CardPresentDecision, AnswersCodeAndReason) {
    const SDecisionCase& c = GetParam();
    const std::vector<std::string> expected = Split(c.expected, '/');
    const std::vector<std::string> fields = Fields(c.host, Query(kCardPresentParams, c.changes));
    ASSERT_EQ(fields.size(), 16u);
    EXPECT_EQ(fields[0], "1.0");
    EXPECT_EQ(fields[1], expected.at(0));
    EXPECT_EQ(fields[2], expected.at(1));
    EXPECT_EQ(fields[3], kReasonTexts.at(expected.at(1)));
    EXPECT_EQ(fields[7], expected[0] == "3" ? "0" : "2000000001");
}

const Changes kNoTrack = {{"x_track2", std::nullopt}};

INSTANTIATE_TEST_SUITE_P(
    Table, CardPresentDecision,
    ::testing::Values(
        SDecisionCase{"Track2", kCardPresent, {}, "1/1"},
        SDecisionCase{"Track2OnTestHost", kTest, {}, "1/1"},
        SDecisionCase{"Track1", kCardPresent,
                      With(kNoTrack, {{"x_track1", "%25B4111111111111111%5EDOE%2FJ%5E3012101%3F"}}),
                      "1/1"},
        SDecisionCase{"Keyed", kCardPresent,
                      With(kNoTrack, {{"x_card_num", "4111111111111111"}, {"x_exp_date", "1230"}}),
                      "1/1"},
        SDecisionCase{
            "KeyedDeclineCard", kCardPresent,
            With(kNoTrack,
                 {{"x_card_num", "4222222222222"}, {"x_exp_date", "1230"}, {"x_amount", "27.00"}}),
            "2/27"},
        SDecisionCase{"BadTrack1", kCardPresent, With(kNoTrack, {{"x_track1", "B41111111"}}),
                      "3/88"},
        SDecisionCase{"BadTrack2", kCardPresent, {{"x_track2", "4111111111111111"}}, "3/89"},
        SDecisionCase{
            "TrackFailsLuhn", kCardPresent, {{"x_track2", "4111111111111112%3D3012"}}, "3/6"},
        SDecisionCase{
            "ExpiredTrack", kCardPresent, {{"x_track2", "4111111111111111%3D2605"}}, "3/8"},
        SDecisionCase{"NoCard", kCardPresent, kNoTrack, "3/6"},
        SDecisionCase{"NoAmount", kCardPresent, {{"x_amount", std::nullopt}}, "3/5"},
        SDecisionCase{"NoKey", kCardPresent, {{"x_tran_key", std::nullopt}}, "3/13"},
        SDecisionCase{"OtherVersion", kCardPresent, {{"x_cpversion", "1.1"}}, "3/68"},
        SDecisionCase{"MarketType", kCardPresent, {{"x_market_type", "0"}}, "3/85"},
        SDecisionCase{"DeviceType0", kCardPresent, {{"x_device_type", "0"}}, "3/84"},
        SDecisionCase{"DeviceType11", kCardPresent, {{"x_device_type", "11"}}, "3/84"},
        SDecisionCase{"DeviceType10", kCardPresent, {{"x_device_type", "10"}}, "1/1"},
        SDecisionCase{"NoDeviceType", kCardPresent, {{"x_device_type", std::nullopt}}, "3/84"},
        SDecisionCase{"XmlFormat", kCardPresent, {{"x_response_format", "0"}}, "3/86"},
        SDecisionCase{"OnLiveHost", kLive, {}, "3/87"}),
    [](const auto& info) { return info.param.name; });

TEST_F(AuthorizeNet, ApprovalWithEncapsulationIsByteExact) {
    const std::string query =
        "x_login=abc&x_tran_key=key&x_version=3.1&x_delim_data=TRUE&x_delim_char=%2C"
        "&x_encap_char=%7C&x_relay_response=FALSE&x_type=AUTH_ONLY&x_amount=12.5"
        "&x_card_num=5424000000000015&x_exp_date=03%2F27&x_card_code=123&x_invoice_num=INV-1"
        "&x_description=Two%20widgets&x_cust_id=C7&x_first_name=Ann&x_last_name=Lee"
        "&x_address=1%20Main%20St&x_zip=10001&x_email=ann%40example.com&x_ship_to_city=Reno"
        "&x_tax=1.00&x_po_num=PO9&Custom1=a%2Cb&X_Hidden=1&order=42";
    const SHttpResponse response = Send(kLive, std::string(kPath) + "?" + query);
    EXPECT_EQ(response.status, 200);
    const HeaderList headers = {{"Server", "Microsoft-IIS/10.0"}, {"Content-Type", "text/html"}};
    EXPECT_EQ(response.headers, headers);
    EXPECT_EQ(response.body,
              "|1|,|1|,|1|,|This transaction has been approved.|,|JUG33L|,|Y|,|2000000001|,"
              "|INV-1|,|Two widgets|,|12.50|,|CC|,|auth_only|,|C7|,"
              "|Ann|,|Lee|,||,|1 Main St|,||,||,|10001|,||,||,||,|ann@example.com|,"
              "||,||,||,||,|Reno|,||,||,||,"
              "|1.00|,||,||,||,|PO9|,"
              "|8006C2139000D1E52252747C182A8FB0|,|M|,|2|,"
              "||,||,||,||,||,||,||,||,||,||,"
              "|XXXX0015|,|MasterCard|,"
              "||,||,||,||,||,||,||,||,||,||,||,||,||,||,||,||,"
              "|a,b|,|42|");
}

TEST_F(AuthorizeNet, ErrorWithoutEncapsulationIsByteExact) {
    const SHttpResponse response =
        Send(kLive, std::string(kPath) +
                        "?x_tran_key=key&x_delim_data=true&x_amount=12.50"
                        "&x_card_num=4111111111111111&x_exp_date=1230");
    EXPECT_EQ(response.body,
              "3,1,13,The merchant login ID or password is invalid or the account is inactive.,,"
              "P,0,,,12.50,CC,auth_capture" +
                  std::string(25, ',') + ",2F03462C7749BAE95F1D225C768E9F2F" +
                  std::string(2 + 10, ',') + ",XXXX1111,Visa" + std::string(16, ','));
}

TEST_F(AuthorizeNet, CardPresentApprovalIsByteExact) {
    const SHttpResponse response =
        Send(kCardPresent, std::string(kPath) + "?" +
                               Query(kCardPresentParams, {{"x_delim_char", std::nullopt},
                                                          {"x_encap_char", "%22"},
                                                          {"x_user_ref", "R1"},
                                                          {"x_amount", "5"}}));
    EXPECT_EQ(response.body,
              "\"1.0\",\"1\",\"1\",\"This transaction has been approved.\",\"JUG33L\",\"Y\",\"\","
              "\"2000000001\",\"F478CCC22F02D79CA39FC249662E19EA\",\"R1\",\"XXXX1111\",\"Visa\","
              "\"\",\"5.00\",\"5.00\",\"\"");
}

TEST_F(AuthorizeNet, TransactionIdsIncrease) {
    EXPECT_EQ(Fields(kLive, Query(kAim, {}))[6], "2000000001");
    EXPECT_EQ(Fields(kLive, Query(kAim, {{"x_login", std::nullopt}}))[6], "0");
    EXPECT_EQ(Fields(kLive, Query(kAim, {{"x_zip", "46282"}}))[6], "2000000002");
    EXPECT_EQ(Fields(kLive, Query(kAim, {}))[6], "2000000003");
}

TEST_F(AuthorizeNet, WithoutDelimitedDataOrWithRelayAnswersAReceiptPage) {
    for (const Changes& changes :
         {Changes{{"x_delim_data", std::nullopt}}, Changes{{"x_delim_data", "FALSE"}},
          Changes{{"x_relay_response", "TRUE"}}}) {
        const SHttpResponse response = Send(kLive, std::string(kPath) + "?" + Query(kAim, changes));
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.headers.at(1).second, "text/html");
        EXPECT_EQ(response.body.rfind("<html>", 0), 0u) << response.body;
        EXPECT_NE(response.body.find("(1) This transaction has been approved."), std::string::npos);
    }
    const SHttpResponse error =
        Send(kLive, std::string(kPath) + "?" +
                        Query(kAim, {{"x_delim_data", std::nullopt}, {"x_login", std::nullopt}}));
    EXPECT_NE(error.body.find("(13) The merchant login ID"), std::string::npos) << error.body;
}

TEST_F(AuthorizeNet, TakesFormFieldsFromAPostBody) {
    const std::string body =
        "x_login=abc&x_tran_key=key&x_amount=1.00&x_card_num=4111111111111111&x_exp_date=1230"
        "&x_first_name=Ann+Marie&note=a+b";
    const SHttpResponse response =
        Send(kLive, std::string(kPath) + "?x_delim_data=TRUE&x_delim_char=%7C", "POST", body,
             "application/x-www-form-urlencoded; charset=utf-8");
    const std::vector<std::string> fields = Split(response.body, '|');
    ASSERT_EQ(fields.size(), 69u) << response.body;
    EXPECT_EQ(fields[0], "1");
    EXPECT_EQ(fields[13], "Ann Marie");
    EXPECT_EQ(fields[68], "a b");

    const SHttpResponse notForm =
        Send(kLive, std::string(kPath) + "?x_delim_data=TRUE&x_delim_char=%7C", "POST", body,
             "text/plain");
    EXPECT_EQ(Split(notForm.body, '|').at(2), "13");
}

struct SRejectCase {
    const char* name;
    std::string method;
    std::string target;
    int status;
    const char* bodyPart;
};

void PrintTo(const SRejectCase& c, std::ostream* out) {
    *out << c.name;
}

class AuthorizeNetRejects : public AuthorizeNet,
                            public ::testing::WithParamInterface<SRejectCase> {};

TEST_P(AuthorizeNetRejects, WithAPlainTextReason) {
    const SRejectCase& c = GetParam();
    const SHttpResponse response = Send(kLive, c.target, c.method, "", "");
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.reason, ReasonPhrase(c.status));
    EXPECT_EQ(response.headers.at(1).second, "text/plain; charset=us-ascii");
    EXPECT_NE(response.body.find(c.bodyPart), std::string::npos) << response.body;
}

INSTANTIATE_TEST_SUITE_P(
    Table, AuthorizeNetRejects,
    ::testing::Values(
        SRejectCase{"RawPlus", "GET", "/gateway/transact.dll?x_login=a+b", 400, "0x2B ('+')"},
        SRejectCase{"RawQuote", "GET", "/gateway/transact.dll?x_login=%22a\"", 400, "0x22"},
        SRejectCase{"RawComma", "GET", "/gateway/transact.dll?x_amount=1,00", 400, "0x2C"},
        SRejectCase{"RawHash", "GET", "/gateway/transact.dll?x_login=a#b", 400, "0x23"},
        SRejectCase{"SecondQuestionMark", "GET", "/gateway/transact.dll?a=1?b=2", 400, "0x3F"},
        SRejectCase{"BrokenEscape", "GET", "/gateway/transact.dll?x_login=%G1", 400,
                    "malformed percent escape"},
        SRejectCase{"EmptyPair", "GET", "/gateway/transact.dll?a=1&&b=2", 400, "empty parameter"},
        SRejectCase{"RawByteInPath", "GET", "/gateway/transact.dll;x", 400, "path"},
        SRejectCase{"WrongPath", "GET", "/gateway/transact.asp?a=1", 404, "/gateway/transact.asp"},
        SRejectCase{"Root", "GET", "/", 404, "no resource"},
        SRejectCase{"Put", "PUT", "/gateway/transact.dll?a=1", 405, "PUT"},
        SRejectCase{"Head", "HEAD", "/gateway/transact.dll", 405, "HEAD"}),
    [](const auto& info) { return info.param.name; });

TEST_F(AuthorizeNet, MethodNotAllowedNamesTheAllowedOnes) {
    const SHttpResponse response = Send(kLive, kPath, "DELETE");
    ASSERT_EQ(response.status, 405);
    EXPECT_EQ(response.headers.back(), (std::pair<std::string, std::string>("Allow", "GET, POST")));
}

TEST_F(AuthorizeNet, MatchesThePathLikeIisRegardlessOfCase) {
    const SHttpResponse response = Send(kLive, "/Gateway/Transact.DLL?" + Query(kAim, {}));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(Split(response.body, '|').at(0), "1");
}

TEST(GatewayRouter, RoutesByHostAndRefusesOthers) {
    const CGatewayRouter router(MakeGateways());
    for (const char* host :
         {"secure.authorize.net", "TEST.Authorize.net:443", "cardpresent.authorize.net:8443"}) {
        CRequestParser parser;
        ASSERT_EQ(parser.Feed("GET /nowhere HTTP/1.1\r\nHost: " + std::string(host) + "\r\n\r\n"),
                  EParse::Complete);
        EXPECT_EQ(router.Route(parser.Request()).status, 404) << host;
    }
    for (const char* host : {"www.example.com", "authorize.net", "secure.authorize.net.evil"}) {
        CRequestParser parser;
        ASSERT_EQ(parser.Feed("GET /gateway/transact.dll HTTP/1.1\r\nHost: " + std::string(host) +
                              "\r\n\r\n"),
                  EParse::Complete);
        const SHttpResponse response = router.Route(parser.Request());
        EXPECT_EQ(response.status, 421) << host;
        EXPECT_EQ(response.reason, "Misdirected Request");
    }
    CRequestParser noHost;
    ASSERT_EQ(noHost.Feed("GET /gateway/transact.dll HTTP/1.0\r\n\r\n"), EParse::Complete);
    EXPECT_EQ(router.Route(noHost.Request()).status, 421);
}

TEST(GatewayRouter, EveryHostBelongsToAtMostOneGateway) {
    std::vector<EGatewayHost> seen;
    for (const auto& gateway : MakeGateways()) {
        for (EGatewayHost host : gateway->Hosts()) {
            EXPECT_EQ(std::count(seen.begin(), seen.end(), host), 0) << GatewayHost(host);
            seen.push_back(host);
        }
    }
    EXPECT_FALSE(seen.empty());
}

}  // namespace
}  // namespace pgv::sandbox
