#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Support.h"

namespace {

// Each test settles its own merchant, so the batches do not mix.
std::string Merchant(const std::string& id) {
    return "M_id=" + id + "|M_key=K3Y";
}

const std::vector<std::string> kTransactionFields = {
    "approval indicator",  "code",       "message",           "reference", "order number",
    "recurring indicator", "pgv.status", "pgv.transaction_id"};

TEST(SageEndToEnd, SaleAsSentAndAsRead) {
    const size_t before = ReceivedRequests().size();
    const SHostRun run = RunHost(TransactionScript(
        "SAGE",
        Merchant("111111111111") + "|T_code=01|T_amt=19.95|C_name=Ada Lovelace|"
                                   "C_cardnumber=4111111111111111|C_exp=1230|T_ordernum=ord-1",
        kTransactionFields));
    ASSERT_EQ(run.Result(3), "1") << run.errors;
    EXPECT_EQ(run.Result(kFirstResult), "A");
    const std::string code = *run.Result(kFirstResult + 1);
    EXPECT_THAT(code, ::testing::MatchesRegex("[0-9]{6}"));
    EXPECT_EQ(run.Result(kFirstResult + 2), "APPROVED " + code);
    EXPECT_THAT(*run.Result(kFirstResult + 3), ::testing::MatchesRegex("[A-Za-z0-9]{10}"));
    EXPECT_EQ(run.Result(kFirstResult + 4), "ord-1");
    EXPECT_EQ(run.Result(kFirstResult + 5), "0");
    EXPECT_EQ(run.Result(kFirstResult + 6), "approved");
    EXPECT_EQ(run.Result(kFirstResult + 7), run.Result(kFirstResult + 3));

    const std::vector<SReceivedRequest> requests = RequestsSince(before);
    ASSERT_EQ(requests.size(), 1u);
    const std::string body =
        "C_cardnumber=4111111111111111&C_exp=1230&C_name=Ada%20Lovelace&M_id=111111111111&"
        "M_key=K3Y&T_amt=19.95&T_code=01&T_ordernum=ord-1&trans_type=transaction";
    EXPECT_EQ(requests[0].requestLine,
              "POST /cgi-bin/eftBankcard.dll?transaction " + HttpVersion());
    EXPECT_EQ(requests[0].headers, ExpectedHeaders("www.sagepayments.net", {}, body.size()));
    EXPECT_EQ(requests[0].body, body);
}

TEST(SageEndToEnd, DeclineAndSecurityViolation) {
    const std::string card = "|C_cardnumber=4111111111111111|C_exp=1230";
    const SHostRun declined = RunHost(TransactionScript(
        "SAGE", Merchant("222222222222") + card + "|T_amt=0.50", kTransactionFields));
    EXPECT_EQ(declined.Result(kFirstResult), "E");
    EXPECT_EQ(declined.Result(kFirstResult + 2), "DECLINED");
    EXPECT_EQ(declined.Result(kFirstResult + 6), "declined");
    EXPECT_EQ(declined.Result(kFirstResult + 7), declined.Result(kFirstResult + 3));

    const SHostRun refused =
        RunHost(TransactionScript("SAGE", "M_key=K3Y" + card + "|T_amt=5.00", kTransactionFields));
    EXPECT_EQ(refused.Result(kFirstResult), "X");
    EXPECT_EQ(refused.Result(kFirstResult + 1), "911911");
    EXPECT_EQ(refused.Result(kFirstResult + 2), "SECURITY VIOLATION");
    EXPECT_EQ(refused.Result(kFirstResult + 4), "");
    EXPECT_EQ(refused.Result(kFirstResult + 6), "error");
}

TEST(SageEndToEnd, SettlementClosesTheBatch) {
    const std::string merchant = Merchant("333333333333");
    const std::string card = "|C_cardnumber=4111111111111111|C_exp=1230";
    RunHost(TransactionScript("SAGE", merchant + card + "|T_amt=10.00", {}));
    RunHost(TransactionScript("SAGE", merchant + card + "|T_amt=2.50", {}));

    const size_t before = ReceivedRequests().size();
    const std::vector<std::string> fields = {"approval indicator", "batch number",      "message",
                                             "batch item count",   "batch net",         "reference",
                                             "pgv.status",         "pgv.transaction_id"};
    const SHostRun settled =
        RunHost(TransactionScript("SAGE", merchant + "|trans_type=settlement", fields));
    EXPECT_EQ(settled.Result(kFirstResult), "A");
    EXPECT_THAT(*settled.Result(kFirstResult + 1), ::testing::MatchesRegex("[0-9]{6}"));
    EXPECT_EQ(settled.Result(kFirstResult + 2), "BATCH ACCEPTED");
    EXPECT_EQ(settled.Result(kFirstResult + 3), "000002");
    EXPECT_EQ(settled.Result(kFirstResult + 4), "000000012.50");
    EXPECT_EQ(settled.Result(kFirstResult + 6), "approved");
    EXPECT_EQ(settled.Result(kFirstResult + 7), settled.Result(kFirstResult + 5));
    const std::vector<SReceivedRequest> requests = RequestsSince(before);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "POST /cgi-bin/eftBankcard.dll?settlement " + HttpVersion());
    EXPECT_EQ(requests[0].body, "M_id=333333333333&M_key=K3Y&trans_type=settlement");

    const SHostRun empty =
        RunHost(TransactionScript("SAGE", merchant + "|trans_type=settlement", fields));
    EXPECT_EQ(empty.Result(kFirstResult + 3), "000000");
}

}  // namespace
