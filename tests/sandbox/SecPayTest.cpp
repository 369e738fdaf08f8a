#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/Gateway.h"

namespace pgv::sandbox {
namespace {

constexpr const char* kHost = "www.secpay.com";
constexpr const char* kPath = "/java-bin/ValCard";

// Values are written already percent-encoded; nullopt drops the parameter.
using Changes = std::vector<std::pair<std::string, std::optional<std::string>>>;

const Changes kValid = {
    {"merchant", "secpay"},    {"remotepassword", "secpay"},    {"trans_id", "T1"},
    {"amount", "50.00"},       {"card_no", "4444333322221111"}, {"expiry", "1299"},
    {"name", "Ada%20Lovelace"}};

std::string Query(const Changes& changes) {
    Changes params = kValid;
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

std::string Mmyy(SYearMonth month) {
    const int year = month.year % 100;
    return (month.month < 10 ? "0" : "") + std::to_string(month.month) + (year < 10 ? "0" : "") +
           std::to_string(year);
}

SYearMonth LastMonth() {
    const SYearMonth now = CurrentYearMonth();
    return now.month == 1 ? SYearMonth{now.year - 1, 12} : SYearMonth{now.year, now.month - 1};
}

class SecPay : public ::testing::Test {
protected:
    SHttpResponse Send(const std::string& target, const std::string& method = "GET",
                       const std::string& body = "", const std::string& contentType = "") {
        std::string raw = method + " " + target + " HTTP/1.0\r\nHost: " + kHost + "\r\n";
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

    std::unique_ptr<IGateway> gateway_ = MakeSecPay();
};

const std::string kApproved =
    "?valid=true&trans_id=T1&code=A&auth_code=9999&message=TEST AUTH&amount=50.00"
    "&test_status=true";
const std::string kRefused = "?valid=false&trans_id=T1&code=";
const std::string kBadLogin = kRefused + "P:P&message=Invalid merchant or password";
const std::string kBadAmount = kRefused + "P:A&message=Invalid amount";
const std::string kBadCard = kRefused + "P:C&message=Luhn Check Failed&correct=false";
const std::string kBadExpiry = kRefused + "P:E&message=Expiry date invalid&correct=false";
const std::string kDeclined = kRefused + "N&message=TEST DECLINE&test_status=false";

std::string Missing(const std::string& name) {
    return kRefused + "P:M&message=Missing parameter " + name;
}

struct SCase {
    const char* name;
    Changes changes;
    std::string answer;
};

void PrintTo(const SCase& c, std::ostream* out) {
    *out << c.name;
}

class SecPayDecision : public SecPay, public ::testing::WithParamInterface<SCase> {};

TEST_P(SecPayDecision, AnswersExactly) {
    const SCase& c = GetParam();
    const SHttpResponse response = Send(std::string(kPath) + "?" + Query(c.changes));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, c.answer);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SecPayDecision,
    ::testing::Values(
        SCase{"Approved", {}, kApproved},
        SCase{"Cv2AddsItsCheck", {{"cv2", "123"}}, kApproved + "&cv2avs=ALL MATCH"},
        SCase{"EmptyCv2IsNoCv2", {{"cv2", ""}}, kApproved},
        SCase{"AmountEchoedAsReceived",
              {{"amount", "007.5"}},
              "?valid=true&trans_id=T1&code=A&auth_code=9999&message=TEST AUTH&amount=007.5"
              "&test_status=true"},
        SCase{"TransIdEchoedUnescaped",
              {{"trans_id", "order%201%2F2"}},
              "?valid=true&trans_id=order 1/2&code=A&auth_code=9999&message=TEST AUTH"
              "&amount=50.00&test_status=true"},
        SCase{"OptionalAndUnknownIgnored",
              {{"ip", "10.0.0.1"},
               {"order", "prod%3Dx"},
               {"billing", "name%3DAda"},
               {"issue", "1"},
               {"start", "0120"},
               {"colour", "blue"}},
              kApproved},
        SCase{"NoMerchant", {{"merchant", std::nullopt}}, kBadLogin},
        SCase{"EmptyMerchant", {{"merchant", ""}}, kBadLogin},
        SCase{"NoPassword", {{"remotepassword", std::nullopt}}, kBadLogin},
        SCase{"EmptyPassword", {{"remotepassword", ""}}, kBadLogin},
        SCase{"LoginBeforeMissing",
              {{"merchant", std::nullopt}, {"trans_id", std::nullopt}},
              "?valid=false&trans_id=&code=P:P&message=Invalid merchant or password"},
        SCase{"NoTransId",
              {{"trans_id", std::nullopt}},
              "?valid=false&trans_id=&code=P:M&message=Missing parameter trans_id"},
        SCase{"NoAmount", {{"amount", std::nullopt}}, Missing("amount")},
        SCase{"EmptyAmount", {{"amount", ""}}, Missing("amount")},
        SCase{"NoCard", {{"card_no", std::nullopt}}, Missing("card_no")},
        SCase{"NoExpiry", {{"expiry", std::nullopt}}, Missing("expiry")},
        SCase{"NoName", {{"name", std::nullopt}}, Missing("name")},
        SCase{"EmptyName", {{"name", ""}}, Missing("name")},
        SCase{"FirstMissingNamed",
              {{"name", std::nullopt}, {"amount", std::nullopt}},
              Missing("amount")},
        SCase{"MissingBeforeInvalid", {{"name", std::nullopt}, {"amount", "x"}}, Missing("name")},
        SCase{"ZeroAmount", {{"amount", "0.00"}}, kBadAmount},
        SCase{"NegativeAmount", {{"amount", "-5.00"}}, kBadAmount},
        SCase{"WordAmount", {{"amount", "ten"}}, kBadAmount},
        SCase{"ThreeDecimals", {{"amount", "1.005"}}, kBadAmount},
        SCase{"DecimalComma", {{"amount", "1%2C00"}}, kBadAmount},
        SCase{"TrailingDot", {{"amount", "5."}}, kBadAmount},
        SCase{"AmountBeforeCard", {{"amount", "0"}, {"card_no", "1"}}, kBadAmount},
        SCase{"FailsLuhn", {{"card_no", "4444333322221112"}}, kBadCard},
        SCase{"CardWithBlanks", {{"card_no", "4444%203333%202222%201111"}}, kBadCard},
        SCase{"CardWithLetters", {{"card_no", "4444333322221a11"}}, kBadCard},
        SCase{"TooShortForACard", {{"card_no", "0"}}, kBadCard},
        SCase{"CardBeforeExpiry", {{"card_no", "1"}, {"expiry", "x"}}, kBadCard},
        SCase{"Expired", {{"expiry", "1220"}}, kBadExpiry},
        SCase{"LastMonth", {{"expiry", Mmyy(LastMonth())}}, kBadExpiry},
        SCase{"ThisMonth", {{"expiry", Mmyy(CurrentYearMonth())}}, kApproved},
        SCase{"Month13", {{"expiry", "1399"}}, kBadExpiry},
        SCase{"Month00", {{"expiry", "0099"}}, kBadExpiry},
        SCase{"WithSlash", {{"expiry", "12%2F99"}}, kBadExpiry},
        SCase{"FourDigitYear", {{"expiry", "122099"}}, kBadExpiry},
        SCase{"TestDecline", {{"options", "test_status%3Dfalse"}}, kDeclined},
        SCase{"TestDeclineAmongOptions",
              {{"options", "test_status%3Dfalse%2Cdups%3Dfalse"}},
              kDeclined},
        SCase{"TestDeclineAfterBlank",
              {{"options", "dups%3Dfalse%2C%20test_status%3Dfalse"}},
              kDeclined},
        SCase{"TestStatusTrue", {{"options", "test_status%3Dtrue%2Cdups%3Dfalse"}}, kApproved},
        SCase{"OnlyAWholeOptionCounts", {{"options", "test_status%3Dfalsely"}}, kApproved},
        SCase{"CardCheckedBeforeDecline",
              {{"options", "test_status%3Dfalse"}, {"card_no", "4444333322221112"}},
              kBadCard}),
    [](const auto& info) { return info.param.name; });

TEST_F(SecPay, AnswersOneUnterminatedLineAsPlainText) {
    const SHttpResponse response = Send(std::string(kPath) + "?" + Query({{"cv2", "123"}}));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.reason, "OK");
    const HeaderList headers = {{"Server", "Apache"}, {"Content-Type", "text/plain"}};
    EXPECT_EQ(response.headers, headers);
    EXPECT_EQ(response.body,
              "?valid=true&trans_id=T1&code=A&auth_code=9999&message=TEST AUTH&amount=50.00"
              "&test_status=true&cv2avs=ALL MATCH");
}

TEST_F(SecPay, TakesFormFieldsFromAPostBody) {
    const std::string body =
        "merchant=secpay&remotepassword=secpay&trans_id=T+2&amount=5.00"
        "&card_no=4444333322221111&expiry=1299";
    EXPECT_EQ(
        Send(std::string(kPath) + "?name=Ada", "POST", body, "application/x-www-form-urlencoded")
            .body,
        "?valid=true&trans_id=T 2&code=A&auth_code=9999&message=TEST AUTH&amount=5.00"
        "&test_status=true");
    EXPECT_EQ(Send(std::string(kPath) + "?name=Ada", "POST", body, "text/plain").body,
              "?valid=false&trans_id=&code=P:P&message=Invalid merchant or password");
    const SHttpResponse broken =
        Send(kPath, "POST", body + "&", "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(broken.status, 400);
    EXPECT_EQ(broken.body, "Bad Request: body: the query ends in '&'\n");
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

class SecPayRejects : public SecPay, public ::testing::WithParamInterface<SRejectCase> {};

TEST_P(SecPayRejects, WithAPlainTextReason) {
    const SRejectCase& c = GetParam();
    const SHttpResponse response = Send(c.target, c.method);
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.reason, ReasonPhrase(c.status));
    EXPECT_EQ(response.headers.at(1).second, "text/plain; charset=us-ascii");
    EXPECT_NE(response.body.find(c.bodyPart), std::string::npos) << response.body;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SecPayRejects,
    ::testing::Values(
        SRejectCase{"RawPlus", "GET", "/java-bin/ValCard?name=Ada+Lovelace", 400, "0x2B ('+')"},
        SRejectCase{"RawComma", "GET", "/java-bin/ValCard?options=a%3Db,c", 400, "0x2C"},
        SRejectCase{"RawHash", "GET", "/java-bin/ValCard?order=a#b", 400, "0x23"},
        SRejectCase{"BrokenEscape", "GET", "/java-bin/ValCard?name=%4", 400,
                    "malformed percent escape"},
        SRejectCase{"EmptyPair", "GET", "/java-bin/ValCard?a=1&&b=2", 400, "empty parameter"},
        SRejectCase{"TrailingAmpersand", "GET", "/java-bin/ValCard?a=1&", 400, "ends in '&'"},
        SRejectCase{"PathCase", "GET", "/java-bin/valcard?a=1", 404, "/java-bin/valcard"},
        SRejectCase{"OtherServlet", "GET", "/java-bin/ValCard2?a=1", 404, "no resource"},
        SRejectCase{"Root", "GET", "/", 404, "no resource"},
        SRejectCase{"Put", "PUT", "/java-bin/ValCard?a=1", 405, "PUT"},
        SRejectCase{"Head", "HEAD", "/java-bin/ValCard", 405, "HEAD"}),
    [](const auto& info) { return info.param.name; });

TEST_F(SecPay, MethodNotAllowedNamesTheAllowedOnes) {
    const SHttpResponse response = Send(kPath, "DELETE");
    ASSERT_EQ(response.status, 405);
    EXPECT_EQ(response.headers.back(), (std::pair<std::string, std::string>("Allow", "GET, POST")));
}

}  // namespace
}  // namespace pgv::sandbox
