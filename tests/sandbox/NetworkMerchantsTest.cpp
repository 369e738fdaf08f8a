#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/Gateway.h"

namespace pgv::sandbox {
namespace {

constexpr const char* kHost = "secure.networkmerchants.com";
constexpr const char* kPath = "/api/transact.php";

// Values are written already percent-encoded; nullopt drops the parameter.
using Changes = std::vector<std::pair<std::string, std::optional<std::string>>>;

const Changes kSale = {{"username", "demo"},
                       {"password", "password"},
                       {"ccnumber", "4111111111111111"},
                       {"ccexp", "1299"},
                       {"amount", "10.00"}};

// A capture, void or refund names the earlier transaction and no card.
const Changes kFollowUp = {{"ccnumber", std::nullopt},
                           {"ccexp", std::nullopt},
                           {"amount", std::nullopt},
                           {"transactionid", "2500000000"}};

Changes With(Changes changes, const Changes& more) {
    changes.insert(changes.end(), more.begin(), more.end());
    return changes;
}

std::string Query(const Changes& changes) {
    Changes params = kSale;
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

class NetworkMerchants : public ::testing::Test {
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

    std::string Answer(const Changes& changes) {
        const SHttpResponse response = Send(std::string(kPath) + "?" + Query(changes));
        EXPECT_EQ(response.status, 200) << response.body;
        return response.body;
    }

    std::unique_ptr<IGateway> gateway_ = MakeNetworkMerchants();
};

// Fields after responsetext; a fresh gateway's first transaction and first reference.
std::string Approved(const std::string& cvv, const std::string& type = "sale",
                     const std::string& orderId = "") {
    return "response=1&responsetext=SUCCESS&authcode=123456&transactionid=2500000001"
           "&avsresponse=N&cvvresponse=" +
           cvv + "&orderid=" + orderId + "&type=" + type + "&response_code=100";
}

std::string Refused(const std::string& text, const std::string& type = "sale") {
    return "response=3&responsetext=" + text +
           " REFID:100000001&authcode=&transactionid=&avsresponse=&cvvresponse=&orderid=&type=" +
           type + "&response_code=300";
}

const std::string kBadLogin =
    "response=3&responsetext=Invalid Username&authcode=&transactionid=0&avsresponse="
    "&cvvresponse=&orderid=&type=sale&response_code=300";
const std::string kDeclined =
    "response=2&responsetext=DECLINE&authcode=&transactionid=2500000001&avsresponse=N"
    "&cvvresponse=N&orderid=&type=sale&response_code=200";
const char* const kBadCard = "Invalid Credit Card Number";
const char* const kBadExpiry = "Invalid Credit Card Expiration";
const char* const kBadAmount = "Invalid amount";
const char* const kNoTransaction = "Invalid Transaction ID specified";

struct SCase {
    const char* name;
    Changes changes;
    std::string answer;
};

void PrintTo(const SCase& c, std::ostream* out) {
    *out << c.name;
}

class NetworkMerchantsDecision : public NetworkMerchants,
                                 public ::testing::WithParamInterface<SCase> {};

TEST_P(NetworkMerchantsDecision, AnswersExactly) {
    EXPECT_EQ(Answer(GetParam().changes), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NetworkMerchantsDecision,
    ::testing::Values(
        SCase{"SaleByDefault", {}, Approved("")},
        SCase{"EmptyTypeIsSale", {{"type", ""}}, Approved("")},
        SCase{"Sale", {{"type", "sale"}}, Approved("")},
        SCase{"Auth", {{"type", "auth"}}, Approved("", "auth")},
        SCase{"Credit", {{"type", "credit"}}, Approved("", "credit")},
        SCase{"ValidateWithoutAmount",
              {{"type", "validate"}, {"amount", std::nullopt}},
              Approved("", "validate")},
        SCase{"ValidateIsNeverDeclined",
              {{"type", "validate"}, {"amount", "0.00"}},
              Approved("", "validate")},
        SCase{"CardCodeMatches", {{"cvv", "123"}}, Approved("M")},
        SCase{"CardCodeMismatch", {{"cvv", "999"}}, Approved("N")},
        SCase{"EmptyCardCode", {{"cvv", ""}}, Approved("")},
        SCase{"OrderIdEchoedUnescaped",
              {{"orderid", "Order%20%237"}},
              Approved("", "sale", "Order #7")},
        SCase{"UnknownIgnored", {{"firstname", "Ada"}, {"zip", "77777"}}, Approved("")},
        SCase{"Capture", With(kFollowUp, {{"type", "capture"}}), Approved("", "capture")},
        SCase{"Void", With(kFollowUp, {{"type", "void"}}), Approved("", "void")},
        SCase{"Refund", With(kFollowUp, {{"type", "refund"}}), Approved("", "refund")},
        SCase{"RefundOfPart", With(kFollowUp, {{"type", "refund"}, {"amount", "0.50"}}),
              Approved("", "refund")},
        SCase{"NoUsername", {{"username", std::nullopt}}, kBadLogin},
        SCase{"EmptyUsername", {{"username", ""}}, kBadLogin},
        SCase{"NoPassword", {{"password", std::nullopt}}, kBadLogin},
        SCase{"EmptyPassword", {{"password", ""}}, kBadLogin},
        SCase{"LoginBeforeCard", {{"password", ""}, {"ccnumber", "1"}}, kBadLogin},
        SCase{"UnknownType", {{"type", "SALE"}}, Refused("Invalid Transaction Type", "SALE")},
        SCase{"NoCard", {{"ccnumber", std::nullopt}}, Refused(kBadCard)},
        SCase{"FailsLuhn", {{"ccnumber", "4111111111111112"}}, Refused(kBadCard)},
        SCase{"CardWithBlanks", {{"ccnumber", "4111%201111%201111%201111"}}, Refused(kBadCard)},
        SCase{"TooShortForACard", {{"ccnumber", "0"}}, Refused(kBadCard)},
        SCase{"ValidateChecksTheCard",
              {{"type", "validate"}, {"ccnumber", "4111111111111112"}},
              Refused(kBadCard, "validate")},
        SCase{"CreditChecksTheCard",
              {{"type", "credit"}, {"ccnumber", std::nullopt}},
              Refused(kBadCard, "credit")},
        SCase{"CardBeforeExpiry", {{"ccnumber", "1"}, {"ccexp", "1"}}, Refused(kBadCard)},
        SCase{"NoExpiry", {{"ccexp", std::nullopt}}, Refused(kBadExpiry)},
        SCase{"Expired", {{"ccexp", "1220"}}, Refused(kBadExpiry)},
        SCase{"LastMonth", {{"ccexp", Mmyy(LastMonth())}}, Refused(kBadExpiry)},
        SCase{"ThisMonth", {{"ccexp", Mmyy(CurrentYearMonth())}}, Approved("")},
        SCase{"Month13", {{"ccexp", "1399"}}, Refused(kBadExpiry)},
        SCase{"WithSlash", {{"ccexp", "12%2F99"}}, Refused(kBadExpiry)},
        SCase{"FourDigitYear", {{"ccexp", "122099"}}, Refused(kBadExpiry)},
        SCase{"ExpiryBeforeAmount", {{"ccexp", "1220"}, {"amount", "x"}}, Refused(kBadExpiry)},
        SCase{"NoAmount", {{"amount", std::nullopt}}, Refused(kBadAmount)},
        SCase{"ZeroAmount", {{"amount", "0.00"}}, Refused(kBadAmount)},
        SCase{"NegativeAmount", {{"amount", "-5.00"}}, Refused(kBadAmount)},
        SCase{"WordAmount", {{"amount", "ten"}}, Refused(kBadAmount)},
        SCase{"ThreeDecimals", {{"amount", "1.005"}}, Refused(kBadAmount)},
        SCase{"AuthWithoutAmount",
              {{"type", "auth"}, {"amount", std::nullopt}},
              Refused(kBadAmount, "auth")},
        SCase{"CaptureWithoutId",
              With(kFollowUp, {{"type", "capture"}, {"transactionid", std::nullopt}}),
              Refused(kNoTransaction, "capture")},
        SCase{"VoidWithEmptyId", With(kFollowUp, {{"type", "void"}, {"transactionid", ""}}),
              Refused(kNoTransaction, "void")},
        SCase{"RefundWithoutId",
              With(kFollowUp, {{"type", "refund"}, {"transactionid", std::nullopt}}),
              Refused(kNoTransaction, "refund")},
        SCase{"DeclinedBelowOneDollar", {{"amount", "0.99"}}, kDeclined},
        SCase{"DeclinedWithoutCardCode", {{"amount", "0.01"}, {"cvv", "123"}}, kDeclined},
        SCase{"OneDollarApproved", {{"amount", "1.00"}}, Approved("")},
        SCase{"AuthDeclined",
              {{"type", "auth"}, {"amount", "0.50"}},
              "response=2&responsetext=DECLINE&authcode=&transactionid=2500000001"
              "&avsresponse=N&cvvresponse=N&orderid=&type=auth&response_code=200"}),
    [](const auto& info) { return info.param.name; });

TEST_F(NetworkMerchants, AnswersOneUnterminatedLineAsHtml) {
    const SHttpResponse response =
        Send(std::string(kPath) + "?" + Query({{"cvv", "123"}, {"orderid", "A%26B"}}));
    EXPECT_EQ(response.status, 200);
    const HeaderList headers = {{"Server", "Apache"}, {"Content-Type", "text/html"}};
    EXPECT_EQ(response.headers, headers);
    EXPECT_EQ(response.body,
              "response=1&responsetext=SUCCESS&authcode=123456&transactionid=2500000001"
              "&avsresponse=N&cvvresponse=M&orderid=A&B&type=sale&response_code=100");
}

TEST_F(NetworkMerchants, ReferencesAndTransactionIdsAreFresh) {
    auto field = [](const std::string& answer, const std::string& name) {
        const std::size_t start = answer.find("&" + name + "=") + name.size() + 2;
        return answer.substr(start, answer.find('&', start) - start);
    };
    EXPECT_EQ(field(Answer({}), "transactionid"), "2500000001");
    EXPECT_EQ(field(Answer({{"ccnumber", "1"}}), "responsetext"),
              "Invalid Credit Card Number REFID:100000001");
    EXPECT_EQ(field(Answer({{"amount", "0.10"}}), "transactionid"), "2500000002");
    EXPECT_EQ(field(Answer({{"password", ""}}), "transactionid"), "0");
    EXPECT_EQ(field(Answer({{"amount", ""}}), "responsetext"), "Invalid amount REFID:100000002");
    EXPECT_EQ(field(Answer({}), "transactionid"), "2500000003");
}

TEST_F(NetworkMerchants, TakesFormFieldsFromAPostBody) {
    const std::string body =
        "username=demo&password=password&ccnumber=4111111111111111&ccexp=1299&orderid=A+1";
    EXPECT_EQ(Send(std::string(kPath) + "?amount=10.00", "POST", body,
                   "application/x-www-form-urlencoded")
                  .body,
              Approved("", "sale", "A 1"));
    EXPECT_EQ(Send(std::string(kPath) + "?amount=10.00", "POST", body, "text/plain").body,
              "response=3&responsetext=Invalid Username&authcode=&transactionid=0&avsresponse="
              "&cvvresponse=&orderid=&type=sale&response_code=300");
    const SHttpResponse broken =
        Send(kPath, "POST", "username=%ZZ", "application/x-www-form-urlencoded");
    EXPECT_EQ(broken.status, 400);
    EXPECT_EQ(broken.body, "Bad Request: body: malformed percent escape at offset 9\n");
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

class NetworkMerchantsRejects : public NetworkMerchants,
                                public ::testing::WithParamInterface<SRejectCase> {};

TEST_P(NetworkMerchantsRejects, WithAPlainTextReason) {
    const SRejectCase& c = GetParam();
    const SHttpResponse response = Send(c.target, c.method);
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.reason, ReasonPhrase(c.status));
    EXPECT_EQ(response.headers.at(1).second, "text/plain; charset=us-ascii");
    EXPECT_NE(response.body.find(c.bodyPart), std::string::npos) << response.body;
}

INSTANTIATE_TEST_SUITE_P(
    Table, NetworkMerchantsRejects,
    ::testing::Values(
        SRejectCase{"RawPlus", "GET", "/api/transact.php?orderid=a+b", 400, "0x2B ('+')"},
        SRejectCase{"RawHash", "GET", "/api/transact.php?orderid=Order#7", 400, "0x23"},
        SRejectCase{"RawAt", "GET", "/api/transact.php?email=a@b", 400, "0x40"},
        SRejectCase{"BrokenEscape", "GET", "/api/transact.php?orderid=%%41", 400,
                    "malformed percent escape"},
        SRejectCase{"NoEquals", "GET", "/api/transact.php?username", 400, "has no '='"},
        SRejectCase{"NoName", "GET", "/api/transact.php?=1", 400, "has no name"},
        SRejectCase{"PathCase", "GET", "/api/Transact.php?a=1", 404, "/api/Transact.php"},
        SRejectCase{"OtherScript", "GET", "/api/query.php?a=1", 404, "no resource"},
        SRejectCase{"Delete", "DELETE", "/api/transact.php?a=1", 405, "DELETE"},
        SRejectCase{"Head", "HEAD", "/api/transact.php", 405, "HEAD"}),
    [](const auto& info) { return info.param.name; });

TEST_F(NetworkMerchants, MethodNotAllowedNamesTheAllowedOnes) {
    const SHttpResponse response = Send(kPath, "PUT");
    ASSERT_EQ(response.status, 405);
    EXPECT_EQ(response.headers.back(), (std::pair<std::string, std::string>("Allow", "GET, POST")));
}

}  // namespace
}  // namespace pgv::sandbox
