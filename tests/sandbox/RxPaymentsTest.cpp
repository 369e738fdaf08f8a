#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/Gateway.h"

namespace pgv::sandbox {
namespace {

constexpr const char* kHost = "secure.rxpayments.com";
constexpr const char* kProcess = "/secure/rxprocess";
constexpr const char* kAuthorize = "/secure/rxauthorize";
constexpr const char* kSettle = "/secure/rxsettle";
constexpr const char* kRefund = "/secure/rxrefund";

// Values are written already percent-encoded; nullopt drops the parameter.
using Changes = std::vector<std::pair<std::string, std::optional<std::string>>>;

const Changes kCharge = {{"TRANS_TYPE", "AUTH_CAPTURE"}, {"rx_merchant", "rx1001"},
                         {"rx_password", "pa55"},        {"rx_ipaddress", "192.168.1.20"},
                         {"rx_amount", "12.00"},         {"rx_cardnumber", "4111111111111111"},
                         {"rx_expdate", "1299"}};
const Changes kPreauth = {{"TRANS_TYPE", "AUTH_PREAUTH"}};
const Changes kSettlement = {{"TRANS_TYPE", "AUTH_SETTLE"},
                             {"rx_amount", std::nullopt},
                             {"rx_cardnumber", std::nullopt},
                             {"rx_expdate", std::nullopt},
                             {"rx_transaction", "RX10000000"}};
const Changes kRefundOf = {{"TRANS_TYPE", "AUTH_REFUND"},
                           {"rx_amount", "2.00"},
                           {"rx_cardnumber", std::nullopt},
                           {"rx_expdate", std::nullopt},
                           {"rx_transaction", "RX10000000"}};

Changes With(Changes changes, const Changes& more) {
    changes.insert(changes.end(), more.begin(), more.end());
    return changes;
}

std::string Query(const Changes& changes) {
    Changes params = kCharge;
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

// A fresh gateway's first transaction.
const std::string kSuccess =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<response>\n  <success>true</success>\n"
    "  <transaction>RX10000001</transaction>\n  <confirmation>REDF75</confirmation>\n"
    "</response>\n";

std::string Failure(const std::string& code, const std::string& message) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<response>\n  <code>" + code +
           "</code>\n  <errormessage>" + message + "</errormessage>\n</response>\n";
}

const std::string kWrongType = Failure("E01", "TRANS_TYPE does not match the endpoint");
const std::string kBadLogin = Failure("E02", "Invalid merchant or password");
const std::string kBadAddress = Failure("E03", "rx_ipaddress is required");
const std::string kBadAmount = Failure("E04", "Invalid amount");
const std::string kBadCard = Failure("E05", "Invalid card number");
const std::string kExpired = Failure("E06", "Card expired");
const std::string kNoTransaction = Failure("E07", "Transaction not found");
const std::string kDeclined = Failure("E12", "Card declined");

class RxPayments : public ::testing::Test {
protected:
    SHttpResponse Send(const std::string& target, const std::string& method = "GET") {
        std::string raw = method + " " + target + " HTTP/1.0\r\nHost: " + kHost + "\r\n";
        if (method == "POST") {
            raw += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 3\r\n";
        }
        raw += method == "POST" ? "\r\na=1" : "\r\n";
        CRequestParser parser;
        EXPECT_EQ(parser.Feed(raw), EParse::Complete) << parser.Failure().message;
        return gateway_->Handle(parser.Request());
    }

    std::string Answer(const std::string& path, const Changes& changes) {
        const SHttpResponse response = Send(path + "?" + Query(changes));
        EXPECT_EQ(response.status, 200) << response.body;
        return response.body;
    }

    std::unique_ptr<IGateway> gateway_ = MakeRxPayments();
};

struct SCase {
    const char* name;
    const char* path;
    Changes changes;
    std::string answer;
};

void PrintTo(const SCase& c, std::ostream* out) {
    *out << c.name;
}

class RxPaymentsDecision : public RxPayments, public ::testing::WithParamInterface<SCase> {};

TEST_P(RxPaymentsDecision, AnswersExactly) {
    EXPECT_EQ(Answer(GetParam().path, GetParam().changes), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RxPaymentsDecision,
    ::testing::Values(
        SCase{"Process", kProcess, {}, kSuccess},
        SCase{"Authorize", kAuthorize, kPreauth, kSuccess},
        SCase{"Settle", kSettle, kSettlement, kSuccess},
        SCase{"SettleIgnoresAmount", kSettle, With(kSettlement, {{"rx_amount", "x"}}), kSuccess},
        SCase{"Refund", kRefund, kRefundOf, kSuccess},
        SCase{"RefundIsNeverDeclined", kRefund, With(kRefundOf, {{"rx_amount", "0.50"}}), kSuccess},
        SCase{"UnknownIgnored", kProcess, {{"rx_note", "hello"}}, kSuccess},
        SCase{"TypeOfAnotherEndpoint", kProcess, kPreauth, kWrongType},
        SCase{"SettleAsRefund", kSettle, With(kSettlement, {{"TRANS_TYPE", "AUTH_REFUND"}}),
              kWrongType},
        SCase{"NoType", kProcess, {{"TRANS_TYPE", std::nullopt}}, kWrongType},
        SCase{"LowerCaseType", kProcess, {{"TRANS_TYPE", "auth_capture"}}, kWrongType},
        SCase{"TypeBeforeLogin", kProcess, {{"TRANS_TYPE", ""}, {"rx_merchant", ""}}, kWrongType},
        SCase{"NoMerchant", kProcess, {{"rx_merchant", std::nullopt}}, kBadLogin},
        SCase{"EmptyPassword", kSettle, With(kSettlement, {{"rx_password", ""}}), kBadLogin},
        SCase{
            "LoginBeforeAddress", kProcess, {{"rx_password", ""}, {"rx_ipaddress", ""}}, kBadLogin},
        SCase{"NoAddress", kProcess, {{"rx_ipaddress", std::nullopt}}, kBadAddress},
        SCase{"LoopbackAddress", kProcess, {{"rx_ipaddress", "127.0.0.1"}}, kSuccess},
        SCase{"HighestAddress", kProcess, {{"rx_ipaddress", "255.255.255.255"}}, kSuccess},
        SCase{"ThreeParts", kProcess, {{"rx_ipaddress", "192.168.1"}}, kBadAddress},
        SCase{"FiveParts", kProcess, {{"rx_ipaddress", "1.2.3.4.5"}}, kBadAddress},
        SCase{"PartAbove255", kProcess, {{"rx_ipaddress", "192.168.1.256"}}, kBadAddress},
        SCase{"FourDigitPart", kProcess, {{"rx_ipaddress", "192.168.1.0020"}}, kBadAddress},
        SCase{"EmptyPart", kProcess, {{"rx_ipaddress", "192..1.20"}}, kBadAddress},
        SCase{"TrailingDot", kProcess, {{"rx_ipaddress", "192.168.1.20."}}, kBadAddress},
        SCase{"TrailingBlank", kProcess, {{"rx_ipaddress", "192.168.1.20%20"}}, kBadAddress},
        SCase{"HostName", kProcess, {{"rx_ipaddress", "localhost"}}, kBadAddress},
        SCase{"Ipv6", kRefund, With(kRefundOf, {{"rx_ipaddress", "::1"}}), kBadAddress},
        SCase{"AddressBeforeAmount",
              kProcess,
              {{"rx_ipaddress", ""}, {"rx_amount", ""}},
              kBadAddress},
        SCase{"NoAmount", kProcess, {{"rx_amount", std::nullopt}}, kBadAmount},
        SCase{"ZeroAmount", kAuthorize, With(kPreauth, {{"rx_amount", "0.00"}}), kBadAmount},
        SCase{"WordAmount", kProcess, {{"rx_amount", "ten"}}, kBadAmount},
        SCase{"ThreeDecimals", kProcess, {{"rx_amount", "1.005"}}, kBadAmount},
        SCase{"RefundWithoutAmount", kRefund, With(kRefundOf, {{"rx_amount", std::nullopt}}),
              kBadAmount},
        SCase{"AmountBeforeCard",
              kProcess,
              {{"rx_amount", "-1"}, {"rx_cardnumber", "1"}},
              kBadAmount},
        SCase{"NoCard", kProcess, {{"rx_cardnumber", std::nullopt}}, kBadCard},
        SCase{"FailsLuhn", kAuthorize, With(kPreauth, {{"rx_cardnumber", "4111111111111112"}}),
              kBadCard},
        SCase{"TooShortForACard", kProcess, {{"rx_cardnumber", "0"}}, kBadCard},
        SCase{"CardBeforeExpiry", kProcess, {{"rx_cardnumber", "1"}, {"rx_expdate", ""}}, kBadCard},
        SCase{"NoExpiry", kProcess, {{"rx_expdate", std::nullopt}}, kExpired},
        SCase{"Expired", kProcess, {{"rx_expdate", "1220"}}, kExpired},
        SCase{"LastMonth", kAuthorize, With(kPreauth, {{"rx_expdate", Mmyy(LastMonth())}}),
              kExpired},
        SCase{"ThisMonth", kProcess, {{"rx_expdate", Mmyy(CurrentYearMonth())}}, kSuccess},
        SCase{"Month13", kProcess, {{"rx_expdate", "1399"}}, kExpired},
        SCase{"WithSlash", kProcess, {{"rx_expdate", "12%2F99"}}, kExpired},
        SCase{"SettleWithoutTransaction", kSettle,
              With(kSettlement, {{"rx_transaction", std::nullopt}}), kNoTransaction},
        SCase{"RefundWithEmptyTransaction", kRefund, With(kRefundOf, {{"rx_transaction", ""}}),
              kNoTransaction},
        SCase{"ProcessBelowOneDollar", kProcess, {{"rx_amount", "0.99"}}, kDeclined},
        SCase{"AuthorizeBelowOneDollar", kAuthorize, With(kPreauth, {{"rx_amount", "0.50"}}),
              kDeclined},
        SCase{"OneDollar", kProcess, {{"rx_amount", "1.00"}}, kSuccess},
        SCase{"ExpiryBeforeDecline",
              kProcess,
              {{"rx_amount", "0.10"}, {"rx_expdate", "1220"}},
              kExpired}),
    [](const auto& info) { return info.param.name; });

TEST_F(RxPayments, AnswersXmlWithTheGatewayHeaders) {
    const SHttpResponse response = Send(std::string(kProcess) + "?" + Query({}));
    EXPECT_EQ(response.status, 200);
    const HeaderList headers = {{"Server", "Apache"}, {"Content-Type", "text/xml"}};
    EXPECT_EQ(response.headers, headers);
    EXPECT_EQ(response.body,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<response>\n"
              "  <success>true</success>\n"
              "  <transaction>RX10000001</transaction>\n"
              "  <confirmation>REDF75</confirmation>\n"
              "</response>\n");
    EXPECT_EQ(Send(std::string(kProcess) + "?" + Query({{"rx_amount", "0.50"}})).body,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<response>\n"
              "  <code>E12</code>\n"
              "  <errormessage>Card declined</errormessage>\n"
              "</response>\n");
}

TEST_F(RxPayments, OnlySuccessesTakeATransactionNumber) {
    EXPECT_EQ(Answer(kProcess, {}), kSuccess);
    EXPECT_EQ(Answer(kProcess, {{"rx_amount", "0.50"}}), kDeclined);
    EXPECT_EQ(Answer(kProcess, {{"rx_merchant", ""}}), kBadLogin);
    EXPECT_EQ(Answer(kSettle, kSettlement),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<response>\n  <success>true</success>\n"
              "  <transaction>RX10000002</transaction>\n  <confirmation>ZAR6XU</confirmation>\n"
              "</response>\n");
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

class RxPaymentsRejects : public RxPayments, public ::testing::WithParamInterface<SRejectCase> {};

TEST_P(RxPaymentsRejects, WithAPlainTextReason) {
    const SRejectCase& c = GetParam();
    const SHttpResponse response = Send(c.target, c.method);
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.reason, ReasonPhrase(c.status));
    EXPECT_EQ(response.headers.at(1).second, "text/plain; charset=us-ascii");
    EXPECT_NE(response.body.find(c.bodyPart), std::string::npos) << response.body;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RxPaymentsRejects,
    ::testing::Values(
        SRejectCase{"RawPlus", "GET", "/secure/rxprocess?rx_merchant=a+b", 400, "0x2B ('+')"},
        SRejectCase{"RawSemicolon", "GET", "/secure/rxsettle?a=1;b", 400, "0x3B"},
        SRejectCase{"BrokenEscape", "GET", "/secure/rxrefund?a=%2", 400,
                    "malformed percent escape"},
        SRejectCase{"TrailingAmpersand", "GET", "/secure/rxauthorize?a=1&", 400, "ends in '&'"},
        SRejectCase{"OtherEndpoint", "GET", "/secure/rxvoid?a=1", 404, "/secure/rxvoid"},
        SRejectCase{"PathCase", "GET", "/secure/RxProcess?a=1", 404, "/secure/RxProcess"},
        SRejectCase{"WithoutFolder", "GET", "/rxprocess?a=1", 404, "no resource"},
        SRejectCase{"Root", "GET", "/", 404, "no resource"},
        SRejectCase{"Post", "POST", "/secure/rxprocess", 405, "POST"},
        SRejectCase{"Head", "HEAD", "/secure/rxsettle", 405, "HEAD"}),
    [](const auto& info) { return info.param.name; });

TEST_F(RxPayments, MethodNotAllowedNamesTheAllowedOne) {
    const SHttpResponse response = Send(kRefund, "POST");
    ASSERT_EQ(response.status, 405);
    EXPECT_EQ(response.headers.back(), (std::pair<std::string, std::string>("Allow", "GET")));
}

}  // namespace
}  // namespace pgv::sandbox
