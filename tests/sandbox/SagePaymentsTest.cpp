#include <gtest/gtest.h>

#include <ostream>

#include <cctype>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/Gateway.h"

namespace pgv::sandbox {
namespace {

constexpr const char* kHost = "www.sagepayments.net";
constexpr const char* kTransaction = "/cgi-bin/eftBankcard.dll?transaction";
constexpr const char* kSettlement = "/cgi-bin/eftBankcard.dll?settlement";
constexpr const char* kZeros = "0000000000";

// Values are written already percent-encoded; nullopt drops the field.
using Changes = std::vector<std::pair<std::string, std::optional<std::string>>>;

const Changes kSale = {{"M_id", "111111111111"},
                       {"M_key", "K3Y"},
                       {"trans_type", "transaction"},
                       {"T_code", "01"},
                       {"T_amt", "19.95"},
                       {"C_name", "Ann%20Lee"},
                       {"C_cardnumber", "4111111111111111"},
                       {"C_exp", "1299"},
                       {"C_address", "1%20Main%20St"},
                       {"T_ordernum", "order1"}};

std::string Body(Changes fields, const Changes& changes) {
    for (const auto& [name, value] : changes) {
        auto it = fields.begin();
        while (it != fields.end() && it->first != name) {
            ++it;
        }
        if (it == fields.end()) {
            fields.emplace_back(name, value);
        } else {
            it->second = value;
        }
    }
    std::string body;
    for (const auto& [name, value] : fields) {
        if (value) {
            body += (body.empty() ? "" : "&") + name + "=" + *value;
        }
    }
    return body;
}

bool IsAlphanumeric(const std::string& text) {
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

bool IsLowerHex(const std::string& text) {
    return text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// A transaction answer cut at its documented offsets, after its framing is checked.
struct STransactionAnswer {
    char indicator = 0;
    std::string code;
    std::string message;
    std::string tail;  // front-end, CVV indicator, AVS indicator, risk
    std::string reference;
    std::string orderNumber;
};

STransactionAnswer Cut(const std::string& record) {
    STransactionAnswer answer;
    EXPECT_GE(record.size(), 61u);
    if (record.size() < 61) {
        return answer;
    }
    EXPECT_EQ(record.front(), '\x02');
    EXPECT_EQ(record[56], '\x1C');
    EXPECT_EQ(record.substr(record.size() - 4),
              "\x1C"
              "0\x1C\x03");
    answer.indicator = record[1];
    answer.code = record.substr(2, 6);
    answer.message = record.substr(8, 32);
    answer.tail = record.substr(40, 6);
    answer.reference = record.substr(46, 10);
    answer.orderNumber = record.substr(57, record.size() - 4 - 57);
    return answer;
}

std::string Padded(std::string text) {
    text.resize(32, ' ');
    return text;
}

class SagePayments : public ::testing::Test {
protected:
    SHttpResponse Send(const std::string& target, const std::string& body,
                       const std::string& method = "POST") {
        const std::string raw = method + " " + target + " HTTP/1.0\r\nHost: " + kHost +
                                "\r\nAccept: text/*\r\nUser-Agent: Tenvale Paygrove\r\n"
                                "Content-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body;
        CRequestParser parser;
        EXPECT_EQ(parser.Feed(raw), EParse::Complete) << parser.Failure().message;
        return gateway_->Handle(parser.Request());
    }

    std::string Transact(const Changes& changes) {
        const SHttpResponse response = Send(kTransaction, Body(kSale, changes));
        EXPECT_EQ(response.status, 200) << response.body;
        return response.body;
    }

    STransactionAnswer Transaction(const Changes& changes) { return Cut(Transact(changes)); }

    std::string Settle(const std::string& merchant) {
        const SHttpResponse response =
            Send(kSettlement, "M_id=" + merchant + "&M_key=K3Y&trans_type=settlement");
        EXPECT_EQ(response.status, 200) << response.body;
        return response.body;
    }

    std::unique_ptr<IGateway> gateway_ = MakeSagePayments();
};

struct SDecisionCase {
    const char* name;
    Changes changes;
    bool afterSale;  // a sale is made first and its reference sent as T_reference
    char indicator;
    const char* code;
    const char* message;
    const char* tail;
};

void PrintTo(const SDecisionCase& c, std::ostream* out) {
    *out << c.name;
}

class SageDecision : public SagePayments, public ::testing::WithParamInterface<SDecisionCase> {};

TEST_P(SageDecision, AnswersTheRecordFields) {
    const SDecisionCase& c = GetParam();
    Changes changes = c.changes;
    if (c.afterSale) {
        const STransactionAnswer sale = Transaction({});
        ASSERT_EQ(sale.indicator, 'A');
        changes.emplace_back("T_reference", sale.reference);
    }
    const STransactionAnswer answer = Transaction(changes);
    EXPECT_EQ(answer.indicator, c.indicator);
    EXPECT_EQ(answer.code, c.code);
    EXPECT_EQ(answer.message, Padded(c.message));
    EXPECT_EQ(answer.tail, c.tail);
    if (c.indicator == 'X') {
        EXPECT_EQ(answer.reference, kZeros);
        EXPECT_EQ(answer.orderNumber, "");
    } else {
        EXPECT_TRUE(IsAlphanumeric(answer.reference)) << answer.reference;
        EXPECT_NE(answer.reference, kZeros);
        EXPECT_EQ(answer.orderNumber, "order1");
    }
}

const Changes kNoCard = {
    {"C_cardnumber", std::nullopt}, {"C_exp", std::nullopt}, {"T_amt", std::nullopt}};

Changes With(Changes changes, const Changes& more) {
    changes.insert(changes.end(), more.begin(), more.end());
    return changes;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SageDecision,
    ::testing::Values(
        SDecisionCase{"Sale", {}, false, 'A', "000001", "APPROVED 000001", "10P 00"},
        SDecisionCase{
            "SaleWithCvv", {{"C_cvv", "123"}}, false, 'A', "000001", "APPROVED 000001", "10M 00"},
        SDecisionCase{
            "SaleWithZip", {{"C_zip", "10001"}}, false, 'A', "000001", "APPROVED 000001", "10PY00"},
        SDecisionCase{"NoCodeIsSale",
                      {{"T_code", std::nullopt}},
                      false,
                      'A',
                      "000001",
                      "APPROVED 000001",
                      "10P 00"},
        SDecisionCase{
            "Authorization", {{"T_code", "02"}}, false, 'A', "000001", "APPROVED 000001", "10P 00"},
        SDecisionCase{
            "Force", {{"T_code", "03"}}, false, 'A', "000001", "APPROVED 000001", "10P 00"},
        SDecisionCase{
            "OneDollar", {{"T_amt", "1.00"}}, false, 'A', "000001", "APPROVED 000001", "10P 00"},
        SDecisionCase{"ForceBelowOneDollar",
                      {{"T_code", "03"}, {"T_amt", "0.50"}},
                      false,
                      'A',
                      "000001",
                      "APPROVED 000001",
                      "10P 00"},
        SDecisionCase{
            "SaleBelowOneDollar", {{"T_amt", "0.99"}}, false, 'E', "000002", "DECLINED", "10N 00"},
        SDecisionCase{"AuthorizationBelowOneDollar",
                      {{"T_code", "02"}, {"T_amt", "0.5"}, {"C_cvv", "123"}, {"C_zip", "10001"}},
                      false,
                      'E',
                      "000002",
                      "DECLINED",
                      "10N 00"},
        SDecisionCase{"NoMerchantId",
                      {{"M_id", std::nullopt}},
                      false,
                      'X',
                      "911911",
                      "SECURITY VIOLATION",
                      "00P 00"},
        SDecisionCase{"EmptyMerchantKey",
                      {{"M_key", ""}, {"C_cardnumber", "1"}},
                      false,
                      'X',
                      "911911",
                      "SECURITY VIOLATION",
                      "00P 00"},
        SDecisionCase{"NoCard",
                      {{"C_cardnumber", std::nullopt}},
                      false,
                      'X',
                      "900014",
                      "INVALID C_CARDNUMBER",
                      "00P 00"},
        SDecisionCase{"FailsLuhn",
                      {{"C_cardnumber", "4111111111111112"}},
                      false,
                      'X',
                      "900014",
                      "INVALID C_CARDNUMBER",
                      "00P 00"},
        SDecisionCase{"TooShortCard",
                      {{"C_cardnumber", "0000000"}},
                      false,
                      'X',
                      "900014",
                      "INVALID C_CARDNUMBER",
                      "00P 00"},
        SDecisionCase{"AuthorizationWithoutCard",
                      {{"T_code", "02"}, {"C_cardnumber", ""}},
                      false,
                      'X',
                      "900014",
                      "INVALID C_CARDNUMBER",
                      "00P 00"},
        SDecisionCase{
            "NoExpiry", {{"C_exp", std::nullopt}}, false, 'X', "900015", "INVALID C_EXP", "00P 00"},
        SDecisionCase{
            "Month13", {{"C_exp", "1399"}}, false, 'X', "900015", "INVALID C_EXP", "00P 00"},
        SDecisionCase{
            "Expired", {{"C_exp", "0120"}}, false, 'X', "900015", "INVALID C_EXP", "00P 00"},
        SDecisionCase{"SlashedExpiry",
                      {{"C_exp", "12%2F99"}},
                      false,
                      'X',
                      "900015",
                      "INVALID C_EXP",
                      "00P 00"},
        SDecisionCase{
            "NoAmount", {{"T_amt", std::nullopt}}, false, 'X', "900016", "INVALID T_AMT", "00P 00"},
        SDecisionCase{
            "ZeroAmount", {{"T_amt", "0.00"}}, false, 'X', "900016", "INVALID T_AMT", "00P 00"},
        SDecisionCase{"NegativeAmount",
                      {{"T_amt", "-5.00"}},
                      false,
                      'X',
                      "900016",
                      "INVALID T_AMT",
                      "00P 00"},
        SDecisionCase{
            "ThreeDecimals", {{"T_amt", "1.005"}}, false, 'X', "900016", "INVALID T_AMT", "00P 00"},
        SDecisionCase{
            "UnknownCode", {{"T_code", "05"}}, false, 'X', "900023", "INVALID T_CODE", "00P 00"},
        SDecisionCase{"VoidWithoutReference", With(kNoCard, {{"T_code", "04"}}), false, 'X',
                      "900022", "INVALID T_REFERENCE", "00P 00"},
        SDecisionCase{"VoidOfUnissuedReference",
                      With(kNoCard, {{"T_code", "04"}, {"T_reference", "B5O89VPdf0"}}), false, 'X',
                      "900022", "INVALID T_REFERENCE", "00P 00"},
        SDecisionCase{"CreditWithoutReference",
                      {{"T_code", "06"}},
                      false,
                      'X',
                      "900022",
                      "INVALID T_REFERENCE",
                      "00P 00"},
        SDecisionCase{"PriorAuthSaleWithoutReference", With(kNoCard, {{"T_code", "11"}}), false,
                      'X', "900022", "INVALID T_REFERENCE", "00P 00"},
        SDecisionCase{"Void", With(kNoCard, {{"T_code", "04"}}), true, 'A', "000002",
                      "APPROVED 000002", "10P 00"},
        SDecisionCase{"CreditByReference", With(kNoCard, {{"T_code", "06"}, {"T_amt", "5.00"}}),
                      true, 'A', "000002", "APPROVED 000002", "10P 00"},
        SDecisionCase{"CreditToAnotherCard",
                      {{"T_code", "06"}, {"C_cardnumber", "5424000000000015"}},
                      true,
                      'A',
                      "000002",
                      "APPROVED 000002",
                      "10P 00"},
        SDecisionCase{"CreditToABadCard",
                      {{"T_code", "06"}, {"C_cardnumber", "5424000000000016"}},
                      true,
                      'X',
                      "900014",
                      "INVALID C_CARDNUMBER",
                      "00P 00"},
        SDecisionCase{"CreditWithoutAmount", With(kNoCard, {{"T_code", "06"}}), true, 'X', "900016",
                      "INVALID T_AMT", "00P 00"},
        SDecisionCase{"PriorAuthSale", With(kNoCard, {{"T_code", "11"}, {"C_zip", "10001"}}), true,
                      'A', "000002", "APPROVED 000002", "10PY00"},
        SDecisionCase{"PriorAuthSaleWithBadAmount",
                      With(kNoCard, {{"T_code", "11"}, {"T_amt", "1.2.3"}}), true, 'X', "900016",
                      "INVALID T_AMT", "00P 00"}),
    [](const auto& info) { return info.param.name; });

TEST_F(SagePayments, ApprovalIsByteExact) {
    const std::string record =
        Transact({{"C_cvv", "123"}, {"C_zip", "10001"}, {"T_ordernum", "INV-7"}});
    ASSERT_EQ(record.size(), 66u);
    const std::string reference = record.substr(46, 10);
    EXPECT_TRUE(IsAlphanumeric(reference)) << reference;
    EXPECT_EQ(record,
              "\x02"
              "A000001APPROVED 000001                 10MY00" +
                  reference + "\x1CINV-7\x1C" + "0\x1C\x03");
}

TEST_F(SagePayments, DeclineIsByteExact) {
    const std::string record = Transact({{"T_amt", "0.01"}, {"T_ordernum", "o"}});
    ASSERT_EQ(record.size(), 62u);
    const std::string reference = record.substr(46, 10);
    EXPECT_TRUE(IsAlphanumeric(reference)) << reference;
    EXPECT_EQ(record,
              "\x02"
              "E000002DECLINED                        10N 00" +
                  reference + "\x1Co\x1C" + "0\x1C\x03");
}

TEST_F(SagePayments, SecurityViolationIsByteExact) {
    EXPECT_EQ(Transact({{"M_key", std::nullopt}}),
              "\x02"
              "X911911SECURITY VIOLATION              00P 000000000000\x1C\x1C"
              "0\x1C\x03");
}

TEST_F(SagePayments, GeneratesAnOrderNumberWhenNoneIsGiven) {
    const STransactionAnswer first = Transaction({{"T_ordernum", std::nullopt}});
    const STransactionAnswer second = Transaction({{"T_ordernum", ""}});
    for (const STransactionAnswer& answer : {first, second}) {
        EXPECT_EQ(answer.orderNumber.size(), 20u);
        EXPECT_TRUE(IsLowerHex(answer.orderNumber)) << answer.orderNumber;
    }
    EXPECT_NE(first.orderNumber, second.orderNumber);
    const STransactionAnswer declined = Transaction({{"T_ordernum", ""}, {"T_amt", "0.10"}});
    EXPECT_EQ(declined.orderNumber.size(), 20u);
}

TEST_F(SagePayments, CountsApprovalsOnlyAndIssuesFreshReferences) {
    const STransactionAnswer first = Transaction({});
    EXPECT_EQ(Transaction({{"T_amt", "0.10"}}).code, "000002");
    EXPECT_EQ(Transaction({{"C_exp", "0000"}}).code, "900015");
    const STransactionAnswer second = Transaction({{"M_id", "222"}});
    EXPECT_EQ(first.code, "000001");
    EXPECT_EQ(second.code, "000002");
    EXPECT_EQ(second.message, Padded("APPROVED 000002"));
    EXPECT_NE(first.reference, second.reference);
}

TEST_F(SagePayments, ReferencesBelongToTheMerchantThatGotThem) {
    const STransactionAnswer sale = Transaction({});
    const Changes voidSale = With(kNoCard, {{"T_code", "04"}, {"T_reference", sale.reference}});
    EXPECT_EQ(Transaction(With(voidSale, {{"M_id", "999"}})).code, "900022");
    EXPECT_EQ(Transaction(voidSale).indicator, 'A');
    const STransactionAnswer declined = Transaction({{"T_amt", "0.10"}});
    EXPECT_EQ(Transaction(With(kNoCard, {{"T_code", "04"}, {"T_reference", declined.reference}}))
                  .indicator,
              'A');
}

TEST_F(SagePayments, DecodesTheBodyAndIgnoresUnknownFields) {
    const SHttpResponse response =
        Send(kTransaction,
             Body(kSale,
                  {{"T_ordernum", "a+b%20c%26d"}, {"trans_type", "settlement"}, {"Unknown", "x"}}));
    EXPECT_EQ(response.status, 200);
    const STransactionAnswer answer = Cut(response.body);
    EXPECT_EQ(answer.indicator, 'A');
    EXPECT_EQ(answer.orderNumber, "a b c&d");
}

TEST_F(SagePayments, AnswersHtmlWithoutALineEnd) {
    const SHttpResponse response = Send(kTransaction, Body(kSale, {}));
    const HeaderList headers = {{"Server", "Microsoft-IIS/10.0"}, {"Content-Type", "text/html"}};
    EXPECT_EQ(response.headers, headers);
    EXPECT_EQ(response.body.back(), '\x03');
}

TEST_F(SagePayments, SettlementTalliesTheMerchantsOpenBatch) {
    Transaction({});
    const STransactionAnswer authorization = Transaction({{"T_code", "02"}, {"T_amt", "5.00"}});
    const STransactionAnswer force = Transaction({{"T_code", "03"}, {"T_amt", "3.00"}});
    const STransactionAnswer credit = Transaction(
        With(kNoCard, {{"T_code", "06"}, {"T_amt", "2.50"}, {"T_reference", force.reference}}));
    const STransactionAnswer voided =
        Transaction(With(kNoCard, {{"T_code", "04"}, {"T_reference", force.reference}}));
    const STransactionAnswer captured =
        Transaction(With(kNoCard, {{"T_code", "11"}, {"T_reference", authorization.reference}}));
    EXPECT_EQ(Transaction({{"T_amt", "0.50"}}).indicator, 'E');
    EXPECT_EQ(Transaction({{"C_cardnumber", "1"}}).indicator, 'X');
    Transaction({{"M_id", "other"}, {"T_amt", "100"}});
    for (const STransactionAnswer& answer : {authorization, force, credit, voided, captured}) {
        EXPECT_EQ(answer.indicator, 'A');
    }

    const std::string batch = Settle("111111111111");
    ASSERT_EQ(batch.size(), 70u);
    EXPECT_EQ(batch.substr(0, 58),
              "\x02"
              "A000001BATCH ACCEPTED                  000004000000025.45");
    EXPECT_TRUE(IsAlphanumeric(batch.substr(58, 10))) << batch;
    EXPECT_EQ(batch.substr(68), "\x1C\x03");

    const std::string empty = Settle("111111111111");
    EXPECT_EQ(empty.substr(0, 58),
              "\x02"
              "A000002BATCH ACCEPTED                  000000000000000.00");
    EXPECT_EQ(Settle("other").substr(1, 57),
              "A000001BATCH ACCEPTED                  000001000000100.00");
}

TEST_F(SagePayments, CreditsAfterSettlementMakeANegativeBatch) {
    const STransactionAnswer sale = Transaction({});
    Settle("111111111111");
    Transaction(
        With(kNoCard, {{"T_code", "06"}, {"T_amt", "2.00"}, {"T_reference", sale.reference}}));
    EXPECT_EQ(Settle("111111111111").substr(40, 18), "000001-00000002.00");
}

TEST_F(SagePayments, SettlementSecurityViolationIsByteExact) {
    for (const char* body : {"M_id=111", "M_key=K3Y", "M_id=&M_key=K3Y", ""}) {
        const SHttpResponse response = Send(kSettlement, body);
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body,
                  "\x02"
                  "X911911SECURITY VIOLATION              000000000000000.000000000000\x1C\x03")
            << body;
    }
}

struct SRejectCase {
    const char* name;
    std::string method;
    std::string target;
    std::string body;
    int status;
    const char* bodyPart;
};

void PrintTo(const SRejectCase& c, std::ostream* out) {
    *out << c.name;
}

class SageRejects : public SagePayments, public ::testing::WithParamInterface<SRejectCase> {};

TEST_P(SageRejects, WithAPlainTextReason) {
    const SRejectCase& c = GetParam();
    const SHttpResponse response = Send(c.target, c.body, c.method);
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.headers.at(1).second, "text/plain; charset=us-ascii");
    EXPECT_NE(response.body.find(c.bodyPart), std::string::npos) << response.body;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SageRejects,
    ::testing::Values(
        SRejectCase{"Get", "GET", kTransaction, "", 405, "GET"},
        SRejectCase{"Put", "PUT", kSettlement, "M_id=1", 405, "PUT"},
        SRejectCase{"WrongPath", "POST", "/cgi-bin/eftBankcard.exe?transaction", "", 404,
                    "eftBankcard.exe"},
        SRejectCase{"NoQuery", "POST", "/cgi-bin/eftBankcard.dll", "M_id=1", 400, "no operation"},
        SRejectCase{"OtherQuery", "POST", "/cgi-bin/eftBankcard.dll?refund", "", 400, "refund"},
        SRejectCase{"QueryWithMore", "POST", "/cgi-bin/eftBankcard.dll?transaction&x=1", "", 400,
                    "transaction&x=1"},
        SRejectCase{"RawBlankInBody", "POST", kTransaction, "M_id=1&C_name=Ann Lee", 400,
                    "body: the byte 0x20"},
        SRejectCase{"BrokenEscape", "POST", kTransaction, "M_id=%4", 400, "body: malformed"},
        SRejectCase{"EmptyPair", "POST", kSettlement, "M_id=1&&M_key=2", 400,
                    "body: empty parameter"}),
    [](const auto& info) { return info.param.name; });

TEST_F(SagePayments, MethodNotAllowedNamesPost) {
    const SHttpResponse response = Send(kTransaction, "", "GET");
    ASSERT_EQ(response.status, 405);
    EXPECT_EQ(response.headers.back(), (std::pair<std::string, std::string>("Allow", "POST")));
}

TEST_F(SagePayments, MatchesThePathLikeIisRegardlessOfCase) {
    const SHttpResponse response =
        Send("/CGI-BIN/EftBankCard.DLL?transaction", Body(kSale, {}), "POST");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(Cut(response.body).indicator, 'A');
}

}  // namespace
}  // namespace pgv::sandbox
