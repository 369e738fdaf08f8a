#include <gtest/gtest.h>

#include <ostream>

#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/Gateway.h"

namespace pgv::sandbox {
namespace {

constexpr const char* kLive = "payflowpro.paypal.com";
constexpr const char* kTest = "pilot-payflowpro.paypal.com";

// nullopt drops the field or header.
using Changes = std::vector<std::pair<std::string, std::optional<std::string>>>;

const Changes kSale = {{"TRXTYPE", "S"},
                       {"TENDER", "C"},
                       {"USER", "me"},
                       {"VENDOR", "me"},
                       {"PARTNER", "PayPal"},
                       {"PWD", "pass"},
                       {"ACCT", "4111111111111111"},
                       {"EXPDATE", "1299"},
                       {"AMT", "10.00"}};

const Changes kHeaders = {{"X-VPS-CLIENTTIMEOUT", "45"},
                          {"X-VPS-VITINTEGRATION-PRODUCT", "Paygrove"},
                          {"X-VPS-VITINTEGRATION-VERSION", "5.0"},
                          {"X-VPS-VIT-OS-NAME", "Linux"}};

Changes Apply(Changes fields, const Changes& changes) {
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
    return fields;
}

Changes With(Changes changes, const Changes& more) {
    changes.insert(changes.end(), more.begin(), more.end());
    return changes;
}

// Every name tagged with its value's length, as the plug-in writes them.
std::string TaggedBody(const Changes& changes) {
    std::string body;
    for (const auto& [name, value] : Apply(kSale, changes)) {
        if (value) {
            body += (body.empty() ? "" : "&") + name + "[" + std::to_string(value->size()) +
                    "]=" + *value;
        }
    }
    return body;
}

// The random parts of an answer replaced by "#" once their format is checked.
std::string Normalized(const std::string& answer, char pnrefPrefix = 'V') {
    const std::regex pnref(std::string("PNREF=") + pnrefPrefix + "[0-9A-Z]{11}(?=&|$)");
    const std::regex authCode("AUTHCODE=[0-9]{3}PNI(?=&|$)");
    return std::regex_replace(std::regex_replace(answer, pnref, "PNREF=#"), authCode, "AUTHCODE=#");
}

std::string Field(const std::string& answer, const std::string& name) {
    const std::size_t start = answer.find(name + "=");
    if (start == std::string::npos) {
        return "";
    }
    const std::size_t valueStart = start + name.size() + 1;
    return answer.substr(valueStart, answer.find('&', valueStart) - valueStart);
}

constexpr const char* kApproved =
    "RESULT=0&PNREF=#&RESPMSG=Approved&AUTHCODE=#&AVSADDR=Y&AVSZIP=Y&IAVS=N";
constexpr const char* kDeclined = "RESULT=12&PNREF=#&RESPMSG=Declined&AVSADDR=Y&AVSZIP=Y";

class Payflow : public ::testing::Test {
protected:
    SHttpResponse Send(const std::string& host, const std::string& body,
                       const Changes& headers = {}, const std::string& method = "POST",
                       const std::string& path = "/") {
        const Changes all = Apply(
            With({{"X-VPS-REQUEST-ID", "req" + std::to_string(++requests_)}}, kHeaders), headers);
        std::string raw = method + " " + path + " HTTP/1.0\r\nHost: " + host + "\r\n";
        for (const auto& [name, value] : all) {
            if (value) {
                raw += name + ": " + *value + "\r\n";
            }
        }
        raw += "Accept: text/*\r\nUser-Agent: Tenvale Paygrove\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body;
        CRequestParser parser;
        EXPECT_EQ(parser.Feed(raw), EParse::Complete) << parser.Failure().message;
        return gateway_->Handle(parser.Request());
    }

    std::string Answer(const std::string& body, const Changes& headers = {},
                       const std::string& host = kLive) {
        const SHttpResponse response = Send(host, body, headers);
        EXPECT_EQ(response.status, 200) << response.body;
        return response.body;
    }

    std::string Pnref(const std::string& host = kLive) {
        const std::string answer = Answer(TaggedBody({}), {}, host);
        EXPECT_EQ(Field(answer, "RESULT"), "0") << answer;
        return Field(answer, "PNREF");
    }

    std::unique_ptr<IGateway> gateway_ = MakePayflow();
    int requests_ = 0;
};

struct SDecisionCase {
    const char* name;
    Changes changes;
    bool afterSale;  // a sale is made first and its PNREF sent as ORIGID
    std::string expected;
};

void PrintTo(const SDecisionCase& c, std::ostream* out) {
    *out << c.name;
}

class PayflowDecision : public Payflow, public ::testing::WithParamInterface<SDecisionCase> {};

TEST_P(PayflowDecision, AnswersExactly) {
    const SDecisionCase& c = GetParam();
    Changes changes = c.changes;
    if (c.afterSale) {
        changes.emplace_back("ORIGID", Pnref());
    }
    EXPECT_EQ(Normalized(Answer(TaggedBody(changes))), c.expected);
}

const Changes kByReference = {
    {"ACCT", std::nullopt}, {"EXPDATE", std::nullopt}, {"AMT", std::nullopt}};
const std::string kAuthFailed = "RESULT=1&RESPMSG=User authentication failed";
const std::string kBadType = "RESULT=7&RESPMSG=Field format error: TRXTYPE";
const std::string kBadTender = "RESULT=2&RESPMSG=Invalid tender";
const std::string kBadAccount = "RESULT=23&RESPMSG=Invalid account number";
const std::string kBadExpiry = "RESULT=24&RESPMSG=Invalid expiration date";
const std::string kBadAmount = "RESULT=4&RESPMSG=Invalid amount";
const std::string kNoOriginal = "RESULT=19&RESPMSG=Original transaction ID not found";

INSTANTIATE_TEST_SUITE_P(
    Table, PayflowDecision,
    ::testing::Values(
        SDecisionCase{"Sale", {}, false, kApproved},
        SDecisionCase{"Authorization", {{"TRXTYPE", "A"}}, false, kApproved},
        SDecisionCase{"Credit", {{"TRXTYPE", "C"}}, false, kApproved},
        SDecisionCase{"WithCvv2",
                      {{"CVV2", "123"}},
                      false,
                      "RESULT=0&PNREF=#&RESPMSG=Approved&AUTHCODE=#&AVSADDR=Y&AVSZIP=Y"
                      "&CVV2MATCH=Y&IAVS=N"},
        SDecisionCase{"JustBelowDecline", {{"AMT", "1000.99"}}, false, kApproved},
        SDecisionCase{"Declined", {{"AMT", "1001.00"}, {"CVV2", "123"}}, false, kDeclined},
        SDecisionCase{"DeclinedWholeAmount", {{"TRXTYPE", "A"}, {"AMT", "5000"}}, false, kDeclined},
        SDecisionCase{"NoUser", {{"USER", std::nullopt}, {"TRXTYPE", "X"}}, false, kAuthFailed},
        SDecisionCase{"NoVendor", {{"VENDOR", std::nullopt}}, false, kAuthFailed},
        SDecisionCase{"EmptyPartner", {{"PARTNER", ""}}, false, kAuthFailed},
        SDecisionCase{"EmptyPassword", {{"PWD", ""}}, false, kAuthFailed},
        SDecisionCase{"NoType", {{"TRXTYPE", std::nullopt}}, false, kBadType},
        SDecisionCase{"UnknownType", {{"TRXTYPE", "F"}}, false, kBadType},
        SDecisionCase{"LowerCaseType", {{"TRXTYPE", "s"}}, false, kBadType},
        SDecisionCase{"TwoLetterType", {{"TRXTYPE", "SA"}}, false, kBadType},
        SDecisionCase{"NoTender", {{"TENDER", std::nullopt}}, false, kBadTender},
        SDecisionCase{"AchTender", {{"TENDER", "A"}}, false, kBadTender},
        SDecisionCase{"NoAccount", {{"ACCT", std::nullopt}}, false, kBadAccount},
        SDecisionCase{"FailsLuhn", {{"ACCT", "4111111111111112"}}, false, kBadAccount},
        SDecisionCase{"AccountWithBlanks", {{"ACCT", "4111 1111 1111 1111"}}, false, kBadAccount},
        SDecisionCase{"NoExpiry", {{"EXPDATE", std::nullopt}}, false, kBadExpiry},
        SDecisionCase{"Month13", {{"EXPDATE", "1399"}}, false, kBadExpiry},
        SDecisionCase{"Expired", {{"EXPDATE", "0120"}}, false, kBadExpiry},
        SDecisionCase{"FourDigitYear", {{"EXPDATE", "122099"}}, false, kBadExpiry},
        SDecisionCase{"NoAmount", {{"AMT", std::nullopt}}, false, kBadAmount},
        SDecisionCase{"ZeroAmount", {{"AMT", "0.00"}}, false, kBadAmount},
        SDecisionCase{"ThreeDecimals", {{"AMT", "1.005"}}, false, kBadAmount},
        SDecisionCase{"NegativeAmount", {{"AMT", "-1.00"}}, false, kBadAmount},
        SDecisionCase{"CommaAmount", {{"AMT", "1,00"}}, false, kBadAmount},
        SDecisionCase{"VoidWithoutOrigid", With(kByReference, {{"TRXTYPE", "V"}}), false,
                      kNoOriginal},
        SDecisionCase{"CaptureWithoutOrigid", With(kByReference, {{"TRXTYPE", "D"}}), false,
                      kNoOriginal},
        SDecisionCase{"VoidOfUnissuedPnref",
                      With(kByReference, {{"TRXTYPE", "V"}, {"ORIGID", "V19A2E4F6B8C"}}), false,
                      kNoOriginal},
        SDecisionCase{"CreditOfUnissuedPnref",
                      With(kByReference, {{"TRXTYPE", "C"}, {"AMT", "1.00"}, {"ORIGID", "X"}}),
                      false, kNoOriginal},
        SDecisionCase{"Void", With(kByReference, {{"TRXTYPE", "V"}}), true, kApproved},
        SDecisionCase{"DelayedCapture", With(kByReference, {{"TRXTYPE", "D"}}), true, kApproved},
        SDecisionCase{"DelayedCaptureWithAmount",
                      With(kByReference, {{"TRXTYPE", "D"}, {"AMT", "2.50"}}), true, kApproved},
        SDecisionCase{"DelayedCaptureOverDecline",
                      With(kByReference, {{"TRXTYPE", "D"}, {"AMT", "1001.00"}}), true, kDeclined},
        SDecisionCase{"DelayedCaptureWithBadAmount",
                      With(kByReference, {{"TRXTYPE", "D"}, {"AMT", "2.5.0"}}), true, kBadAmount},
        SDecisionCase{"CreditByReference", With(kByReference, {{"TRXTYPE", "C"}, {"AMT", "1.00"}}),
                      true, kApproved},
        SDecisionCase{"CreditByReferenceWithoutAmount", With(kByReference, {{"TRXTYPE", "C"}}),
                      true, kBadAmount},
        SDecisionCase{"ReferenceSale", With(kByReference, {{"AMT", "3.00"}}), true, kApproved},
        SDecisionCase{"ReferenceSaleWithBadCard",
                      With(kByReference, {{"AMT", "3.00"}, {"ACCT", "1234"}}), true, kBadAccount},
        SDecisionCase{"VoidNeedsNoTender",
                      With(kByReference, {{"TRXTYPE", "V"}, {"TENDER", std::nullopt}}), true,
                      kApproved},
        SDecisionCase{"HighVerbosity",
                      {{"VERBOSITY", "HIGH"},
                       {"BILLTOFIRSTNAME", "Ann"},
                       {"BILLTOLASTNAME", "& Foo"},
                       {"COMMENT1", "not echoed"}},
                      false,
                      std::string(kApproved) +
                          "&AMT=10.00&ACCT=1111&EXPDATE=1299&BILLTOFIRSTNAME=Ann"
                          "&BILLTOLASTNAME[5]=& Foo"},
        SDecisionCase{
            "HighVerbosityDeclined",
            {{"VERBOSITY", "high"}, {"AMT", "2000.00"}, {"BILLTOFIRSTNAME", "a=b"}},
            false,
            std::string(kDeclined) + "&AMT=2000.00&ACCT=1111&EXPDATE=1299&BILLTOFIRSTNAME[3]=a=b"},
        SDecisionCase{"HighVerbosityVoid",
                      With(kByReference, {{"TRXTYPE", "V"}, {"VERBOSITY", "HIGH"}}), true,
                      kApproved},
        SDecisionCase{
            "LowVerbosity", {{"VERBOSITY", "LOW"}, {"BILLTOFIRSTNAME", "Ann"}}, false, kApproved}),
    [](const auto& info) { return info.param.name; });

struct SHeaderCase {
    const char* name;
    Changes headers;
    std::string expected;
};

void PrintTo(const SHeaderCase& c, std::ostream* out) {
    *out << c.name;
}

class PayflowHeaders : public Payflow, public ::testing::WithParamInterface<SHeaderCase> {};

TEST_P(PayflowHeaders, AreChecked) {
    const SHeaderCase& c = GetParam();
    EXPECT_EQ(Normalized(Answer(TaggedBody({}), c.headers)), c.expected);
}

std::string HeaderError(const std::string& header) {
    return "RESULT=7&RESPMSG=Field format error: " + header;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PayflowHeaders,
    ::testing::Values(
        SHeaderCase{"All", {}, kApproved},
        SHeaderCase{"LongestRequestId", {{"X-VPS-REQUEST-ID", std::string(32, 'r')}}, kApproved},
        SHeaderCase{"LowerCaseNames",
                    {{"X-VPS-CLIENTTIMEOUT", std::nullopt}, {"x-vps-clienttimeout", "30"}},
                    kApproved},
        SHeaderCase{
            "NoRequestId", {{"X-VPS-REQUEST-ID", std::nullopt}}, HeaderError("X-VPS-REQUEST-ID")},
        SHeaderCase{"EmptyRequestId", {{"X-VPS-REQUEST-ID", ""}}, HeaderError("X-VPS-REQUEST-ID")},
        SHeaderCase{"LongRequestId",
                    {{"X-VPS-REQUEST-ID", std::string(33, 'r')}},
                    HeaderError("X-VPS-REQUEST-ID")},
        SHeaderCase{"NoTimeout",
                    {{"X-VPS-CLIENTTIMEOUT", std::nullopt}},
                    HeaderError("X-VPS-CLIENTTIMEOUT")},
        SHeaderCase{"TimeoutWithUnit",
                    {{"X-VPS-CLIENTTIMEOUT", "45s"}},
                    HeaderError("X-VPS-CLIENTTIMEOUT")},
        SHeaderCase{"NoProduct",
                    {{"X-VPS-VITINTEGRATION-PRODUCT", std::nullopt}},
                    HeaderError("X-VPS-VITINTEGRATION-PRODUCT")},
        SHeaderCase{"NoVersion",
                    {{"X-VPS-VITINTEGRATION-VERSION", std::nullopt}},
                    HeaderError("X-VPS-VITINTEGRATION-VERSION")},
        SHeaderCase{"EmptyOsName", {{"X-VPS-VIT-OS-NAME", ""}}, HeaderError("X-VPS-VIT-OS-NAME")},
        SHeaderCase{"RequestIdCheckedFirst",
                    {{"X-VPS-REQUEST-ID", std::nullopt}, {"X-VPS-VIT-OS-NAME", std::nullopt}},
                    HeaderError("X-VPS-REQUEST-ID")}),
    [](const auto& info) { return info.param.name; });

struct SBodyCase {
    const char* name;
    std::string body;
    std::string expected;
};

void PrintTo(const SBodyCase& c, std::ostream* out) {
    *out << c.name;
}

class PayflowBody : public Payflow, public ::testing::WithParamInterface<SBodyCase> {};

TEST_P(PayflowBody, IsCutByLengthTags) {
    const SBodyCase& c = GetParam();
    EXPECT_EQ(Normalized(Answer(c.body)), c.expected);
}

const std::string kSaleFields =
    "TRXTYPE=S&TENDER=C&USER=me&VENDOR=me&PARTNER=PayPal&PWD=pass&ACCT=4111111111111111"
    "&EXPDATE=1299&AMT=10.00&VERBOSITY=HIGH";
const std::string kEchoed = std::string(kApproved) + "&AMT=10.00&ACCT=1111&EXPDATE=1299";

INSTANTIATE_TEST_SUITE_P(
    Table, PayflowBody,
    ::testing::Values(
        SBodyCase{"Untagged", kSaleFields + "&BILLTOFIRSTNAME=Ann",
                  kEchoed + "&BILLTOFIRSTNAME=Ann"},
        SBodyCase{"NotPercentDecoded", kSaleFields + "&BILLTOFIRSTNAME=A%20B+C",
                  kEchoed + "&BILLTOFIRSTNAME=A%20B+C"},
        SBodyCase{"UntaggedRunsToTheNextAmpersand", kSaleFields + "&BILLTOFIRSTNAME=a=b&X=1",
                  kEchoed + "&BILLTOFIRSTNAME[3]=a=b"},
        SBodyCase{"TaggedHoldsAmpersandAndEquals",
                  kSaleFields + "&BILLTOLASTNAME[8]=O&Brien=&BILLTOFIRSTNAME[3]=Ann",
                  kEchoed + "&BILLTOFIRSTNAME=Ann&BILLTOLASTNAME[8]=O&Brien="},
        SBodyCase{"TaggedHidesAField", "COMMENT1[10]=&TRXTYPE=V&" + kSaleFields, kEchoed},
        SBodyCase{"TaggedAtTheEnd", kSaleFields + "&BILLTOLASTNAME[3]=Lee",
                  kEchoed + "&BILLTOLASTNAME=Lee"},
        SBodyCase{"TaggedEmpty", "COMMENT1[0]=&" + kSaleFields, kEchoed},
        SBodyCase{"TagPastTheEnd", kSaleFields + "&BILLTOLASTNAME[4]=Lee",
                  "RESULT=7&RESPMSG=Field format error: BILLTOLASTNAME"},
        SBodyCase{"TagShortOfTheValue", "BILLTOLASTNAME[2]=Lee&" + kSaleFields,
                  "RESULT=7&RESPMSG=Field format error: BILLTOLASTNAME"},
        SBodyCase{"TagNotANumber", "COMMENT1[x]=a&" + kSaleFields,
                  "RESULT=7&RESPMSG=Field format error: COMMENT1"},
        SBodyCase{"TagEmpty", "COMMENT1[]=&" + kSaleFields,
                  "RESULT=7&RESPMSG=Field format error: COMMENT1"},
        SBodyCase{"HugeTag", "COMMENT1[99999999999999999999]=a&" + kSaleFields,
                  "RESULT=7&RESPMSG=Field format error: COMMENT1"},
        SBodyCase{"NameWithoutValue", "JUNK&" + kSaleFields,
                  "RESULT=7&RESPMSG=Field format error: JUNK"},
        SBodyCase{"StrayAmpersands", "&&" + kSaleFields + "&", kEchoed},
        SBodyCase{"FirstOccurrenceWins", "AMT=5.00&" + kSaleFields,
                  std::string(kApproved) + "&AMT=5.00&ACCT=1111&EXPDATE=1299"},
        SBodyCase{"Empty", "", kAuthFailed}),
    [](const auto& info) { return info.param.name; });

TEST_F(Payflow, AnswersNameValueTextWithoutALineEnd) {
    const SHttpResponse response = Send(kLive, TaggedBody({}));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.headers.at(1),
              (std::pair<std::string, std::string>("Content-Type", "text/namevalue")));
    EXPECT_EQ(Normalized(response.body), kApproved);
}

TEST_F(Payflow, PnrefsAreFreshAndNameTheirHost) {
    const std::string live = Answer(TaggedBody({}));
    const std::string test = Answer(TaggedBody({}), {}, kTest);
    EXPECT_EQ(Normalized(live, 'V'), kApproved);
    EXPECT_EQ(Normalized(test, 'A'), kApproved);
    EXPECT_NE(Field(Answer(TaggedBody({})), "PNREF"), Field(live, "PNREF"));
}

TEST_F(Payflow, OriginalTransactionsBelongToTheirHost) {
    const Changes voidOf = With(kByReference, {{"TRXTYPE", "V"}, {"ORIGID", Pnref(kTest)}});
    EXPECT_EQ(Answer(TaggedBody(voidOf)), kNoOriginal);
    EXPECT_EQ(Normalized(Answer(TaggedBody(voidOf), {}, kTest), 'A'), kApproved);
    const std::string declined = Answer(TaggedBody({{"AMT", "1500.00"}}));
    EXPECT_EQ(Normalized(Answer(TaggedBody(
                  With(kByReference, {{"TRXTYPE", "V"}, {"ORIGID", Field(declined, "PNREF")}})))),
              kApproved);
}

TEST_F(Payflow, ARepeatedRequestIdGetsTheEarlierAnswer) {
    const Changes id = {{"X-VPS-REQUEST-ID", "order-42"}};
    const std::string first = Answer(TaggedBody({}), id);
    EXPECT_EQ(Normalized(first), kApproved);
    EXPECT_EQ(Answer(TaggedBody({{"AMT", "1500.00"}}), id), first + "&DUPLICATE=1");
    EXPECT_EQ(Answer("", id), first + "&DUPLICATE=1");

    const std::string onTest = Answer(TaggedBody({{"AMT", "1500.00"}}), id, kTest);
    EXPECT_EQ(Normalized(onTest, 'A'), kDeclined);
}

TEST_F(Payflow, FailedRequestsAreRememberedButHeaderFailuresAreNot) {
    const Changes id = {{"X-VPS-REQUEST-ID", "retry"}};
    EXPECT_EQ(Answer(TaggedBody({}), With(id, {{"X-VPS-CLIENTTIMEOUT", "x"}})),
              HeaderError("X-VPS-CLIENTTIMEOUT"));
    EXPECT_EQ(Answer(TaggedBody({{"PWD", ""}}), id), kAuthFailed);
    EXPECT_EQ(Answer(TaggedBody({}), id), kAuthFailed + "&DUPLICATE=1");
}

struct SRejectCase {
    const char* name;
    std::string method;
    std::string path;
    int status;
};

void PrintTo(const SRejectCase& c, std::ostream* out) {
    *out << c.name;
}

class PayflowRejects : public Payflow, public ::testing::WithParamInterface<SRejectCase> {};

TEST_P(PayflowRejects, WithAPlainTextReason) {
    const SRejectCase& c = GetParam();
    const SHttpResponse response = Send(kLive, TaggedBody({}), {}, c.method, c.path);
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.headers.at(1).second, "text/plain; charset=us-ascii");
    if (c.status == 405) {
        EXPECT_EQ(response.headers.back(), (std::pair<std::string, std::string>("Allow", "POST")));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PayflowRejects,
                         ::testing::Values(SRejectCase{"Get", "GET", "/", 405},
                                           SRejectCase{"Put", "PUT", "/", 405},
                                           SRejectCase{"OtherPath", "POST", "/transaction", 404},
                                           SRejectCase{"DoubleSlash", "POST", "//", 404}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace pgv::sandbox
