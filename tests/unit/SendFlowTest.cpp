#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "gateways/PayPal.h"
#include "gateways/SagePayments.h"

namespace {

using CFlowGateway = pgvtest::CRecordingGateway<pgvtest::CFieldsGateway>;

// The double's fields read as a gateway's: x the status, y the message, z the transaction id.
class CTableGateway : public CFlowGateway {
public:
    const SResultTable& GetResultTable() override {
        static const SStatusCode kCodes[] = {{"1", EStatus::Approved}, {nullptr, EStatus::Error}};
        static const SResultTable kTable = {
            "TEST", {"x", kCodes, nullptr}, {"z", nullptr, "y", nullptr, nullptr, nullptr}};
        return kTable;
    }
};

StringMap Normalised(const char* status, const char* message, const char* gateway,
                     const char* transactionId = "") {
    return {{"pgv.amount", ""},
            {"pgv.approved", std::string(status) == "approved" ? "1" : "0"},
            {"pgv.auth_code", ""},
            {"pgv.duplicate", "0"},
            {"pgv.avs", ""},
            {"pgv.cvv", ""},
            {"pgv.gateway", gateway},
            {"pgv.message", message},
            {"pgv.status", status},
            {"pgv.test", "0"},
            {"pgv.transaction_id", transactionId}};
}

TEST(SendFlow, RequestTextFollowsTheFlags) {
    const std::string long300(300, 'v');
    const StringMap plain = {{"a", "x y"}, {"b", "2"}};
    const struct {
        int flags;
        StringMap params;
        std::string request;
    } cases[] = {
        {kRequestEscape, plain, "a=x%20y&b=2"},
        {kRequestPost | kRequestLengthTags, plain, "a[3]=x y&b[1]=2"},
        {0, plain, "a=x y&b=2"},
        {kRequestLengthTags,
         {{"e", "\xC3\xA9"}, {"v", "a&b"}, {"z", ""}},
         "e[2]=\xC3\xA9&v[3]=a&b&z[0]="},
        {kRequestEscape, {{"v", long300}}, "v=" + long300.substr(0, 255)},
        {0, {{"v", long300}}, "v=" + long300},
        {kRequestEscape, {{"a", "1"}, {"B", "2"}, {"_c", "3"}}, "B=2&_c=3&a=1"},
        {kRequestEscape, {{"WIM_Log", ""}, {"wim_log", "sent"}}, "wim_log=sent"},
        {kRequestEscape, {}, ""},
        // A name is escaped like a value, and never cut.
        {kRequestEscape,
         {{"a\r\nX-Injected: 1", "1"}, {" b&c=[]", "2"}},
         "%20b%26c%3D%5B%5D=2&a%0D%0AX-Injected:%201=1"},
        {kRequestEscape, {{long300, "1"}}, long300 + "=1"},
        {kRequestPost | kRequestLengthTags, {{" b&c", "1"}}, " b&c[1]=1"},
    };
    for (const auto& c : cases) {
        CFlowGateway gateway;
        gateway.flags = c.flags;
        gateway.m_Params = c.params;
        EXPECT_EQ(gateway.SendNow(), c.request);
    }
}

// The normalised names are kept apart: the results, and so "pairs", never list them.
TEST(SendFlow, OutcomeInTheResults) {
    CTableGateway gateway;
    gateway.m_Results["stale"] = "x";
    gateway.answer = "1,approved,T-9";
    std::string untouched = "caller's";
    EXPECT_TRUE(gateway.Send(30, untouched));
    EXPECT_EQ(untouched, "caller's");
    EXPECT_EQ(gateway.timeout, 30);
    EXPECT_EQ(gateway.m_Results,
              (StringMap{{"all", "1,approved,T-9"}, {"x", "1"}, {"y", "approved"}, {"z", "T-9"}}));
    EXPECT_EQ(gateway.m_Normalised, Normalised("approved", "approved", "TEST", "T-9"));

    gateway.answerOk = false;
    gateway.answer = "HTTP error500";
    EXPECT_FALSE(gateway.Send(0, untouched));
    EXPECT_EQ(gateway.m_Results, (StringMap{{"error", "HTTP error500"}}));
    EXPECT_EQ(gateway.m_Normalised, Normalised("error", "HTTP error500", ""));

    gateway.answerOk = true;
    gateway.answer = "";
    gateway.SendNow();
    EXPECT_EQ(gateway.m_Results, (StringMap{{"all", ""}}));
    EXPECT_EQ(gateway.m_Normalised, Normalised("error", "", "TEST"));

    gateway.Clear();
    EXPECT_TRUE(gateway.m_Normalised.empty());
}

TEST(SendFlow, TransactionLogLinesWithCardDataMasked) {
    pgvtest::CTempDir dir;
    const std::string path = dir.File("transaction.log");
    CTableGateway gateway;
    gateway.m_Params = {{"WIM_Log", path},
                        {"x_amount", "1.00"},
                        {"x_card_code", "123"},
                        {"x_card_num", "4111 1111 1111 1111"},
                        {"x_invoice_num", "123"}};
    gateway.answer = "1,card 4111 1111 1111 1111 ok,T-1";
    EXPECT_EQ(gateway.SendNow(),
              "x_amount=1.00&x_card_code=123&x_card_num=4111%201111%201111%201111&"
              "x_invoice_num=123");
    EXPECT_EQ(gateway.m_Params.count("WIM_Log"), 0u);
    const std::string log = pgvtest::ReadFile(path);
    EXPECT_EQ(log,
              "\n"
              "--Parameters\n"
              "  x_amount=1.00\n"
              "  x_card_code=********\n"
              "  x_card_num=XXXX XXXX XXXX 1111\n"
              "  x_invoice_num=123\n"
              "   URL - x_amount=1.00&x_card_code=********&"
              "x_card_num=XXXX%20XXXX%20XXXX%201111&x_invoice_num=123\n"
              "\n"
              "(exchange)\n"
              "\n"
              "--Results\n"
              "  all=1,card XXXX XXXX XXXX 1111 ok,T-1\n"
              "  x=1\n"
              "  y=card XXXX XXXX XXXX 1111 ok\n"
              "  z=T-1\n"
              "\n"
              "--Normalised results\n"
              "  pgv.amount=\n"
              "  pgv.approved=1\n"
              "  pgv.auth_code=\n"
              "  pgv.avs=\n"
              "  pgv.cvv=\n"
              "  pgv.duplicate=0\n"
              "  pgv.gateway=TEST\n"
              "  pgv.message=card XXXX XXXX XXXX 1111 ok\n"
              "  pgv.status=approved\n"
              "  pgv.test=0\n"
              "  pgv.transaction_id=T-1\n");
    gateway.SendNow();
    EXPECT_EQ(pgvtest::ReadFile(path), log) << "the second send has no WIM_Log any more";
}

// A request the gateway refuses never reaches the exchange; the log says why, with its
// parameters masked as ever.
TEST(SendFlow, RefusedRequestFailsBeforeAnyConnection) {
    pgvtest::CTempDir dir;
    const std::string path = dir.File("transaction.log");
    pgvtest::CRecordingGateway<CPayPal> gateway;
    gateway.SetParameters(("WIM_Log=" + path + "|PWD[8]=s3cretPw|AMT=1.00").c_str());
    std::string response;
    EXPECT_FALSE(gateway.Send(0, response));
    EXPECT_EQ(gateway.timeout, -1) << "the exchange was reached";
    EXPECT_EQ(gateway.m_Results, (StringMap{{"error", "Invalid parameter name"}}));
    EXPECT_EQ(
        pgvtest::ReadFile(path),
        "\n--Parameters\n  AMT=1.00\n  PWD[8]=********\n"
        "   URL - AMT[4]=1.00&PWD[8][8]=********\n\n"
        "**Error - Invalid parameter name\n\n--Results\n  error=Invalid parameter name\n\n"
        "--Normalised results\n  pgv.amount=\n  pgv.approved=0\n  pgv.auth_code=\n  pgv.avs=\n"
        "  pgv.cvv=\n  pgv.duplicate=0\n  pgv.gateway=\n  pgv.message=Invalid parameter name\n  "
        "pgv.status=error\n"
        "  pgv.test=0\n  pgv.transaction_id=\n");
}

// A parser that gives up (Sage's, on a short answer) fails the transaction; the log still
// gets the fields stored so far, and is closed so the next transaction appends to it.
TEST(SendFlow, UnreadableAnswerStillClosesTheLogAndRestoresIndentation) {
    pgvtest::CTempDir dir;
    const std::string path = dir.File("transaction.log");
    pgvtest::CRecordingGateway<CSage> gateway;
    gateway.answer = "\002A";
    gateway.SetParameters(("WIM_Log=" + path + "|a=1").c_str());
    std::string response;
    EXPECT_FALSE(gateway.Send(0, response));
    EXPECT_EQ(gateway.m_Results, (StringMap{{"approval indicator", "A"}, {"code", ""}}));
    EXPECT_EQ(gateway.m_Normalised, Normalised("error", "", ""));

    gateway.SetParameters(("WIM_Log=" + path).c_str());
    EXPECT_FALSE(gateway.Send(0, response));
    const std::string one =
        "\n--Parameters\n  a=1\n  trans_type=transaction\n   URL - a=1&trans_type=transaction\n\n"
        "(exchange)\n\n--Results\n  approval indicator=A\n  code=\n\n--Normalised results\n"
        "  pgv.amount=\n  pgv.approved=0\n  pgv.auth_code=\n  pgv.avs=\n  pgv.cvv=\n"
        "  pgv.duplicate=0\n  pgv.gateway=\n"
        "  pgv.message=\n  pgv.status=error\n  pgv.test=0\n  pgv.transaction_id=\n";
    EXPECT_EQ(pgvtest::ReadFile(path), one + one);
}

}  // namespace
