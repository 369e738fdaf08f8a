#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Support.h"

namespace {

const std::string kMerchant = "USER=me|VENDOR=me|PARTNER=PayPal|PWD=s3cret";
const std::string kSale = "|TRXTYPE=S|TENDER=C|ACCT=4111111111111111|EXPDATE=1230";

TEST(PayflowEndToEnd, SaleAsSentAndAsRead) {
    const size_t before = ReceivedRequests().size();
    const SHostRun run = RunHost(TransactionScript(
        "PAYPAL",
        kMerchant + kSale + "|AMT=10.00|COMMENT1=a&b=c|test_account=|X-VPS-REQUEST-ID=e2e-sale-1",
        {"result", "respmsg", "pnref", "authcode", "RESULT", "pgv.status", "pgv.transaction_id",
         "pgv.auth_code"}));
    ASSERT_EQ(run.Result(3), "1") << run.errors;
    EXPECT_EQ(run.Result(kFirstResult), "0");
    EXPECT_EQ(run.Result(kFirstResult + 1), "Approved");
    EXPECT_THAT(*run.Result(kFirstResult + 2), ::testing::MatchesRegex("A[A-Z0-9]{11}"));
    EXPECT_THAT(*run.Result(kFirstResult + 3), ::testing::MatchesRegex("[0-9]{3}PNI"));
    EXPECT_EQ(run.Result(kFirstResult + 5), "approved");
    EXPECT_EQ(run.Result(kFirstResult + 6), run.Result(kFirstResult + 2));
    EXPECT_EQ(run.Result(kFirstResult + 7), run.Result(kFirstResult + 3));

    const std::vector<SReceivedRequest> requests = RequestsSince(before);
    ASSERT_EQ(requests.size(), 1u);
    const std::string body =
        "ACCT[16]=4111111111111111&AMT[5]=10.00&COMMENT1[5]=a&b=c&EXPDATE[4]=1230&PARTNER[6]="
        "PayPal&"
        "PWD[6]=s3cret&TENDER[1]=C&TRXTYPE[1]=S&USER[2]=me&VENDOR[2]=me";
    EXPECT_EQ(requests[0].requestLine, "POST / " + HttpVersion());
    EXPECT_EQ(requests[0].headers,
              ExpectedHeaders("pilot-payflowpro.paypal.com",
                              {"X-VPS-CLIENTTIMEOUT: 45", "X-VPS-VITINTEGRATION-PRODUCT: Paygrove",
                               "X-VPS-VITINTEGRATION-VERSION: 5.0", "X-VPS-REQUEST-ID: e2e-sale-1",
                               "X-VPS-VIT-OS-NAME: " + OsName()},
                              body.size()));
    EXPECT_EQ(requests[0].body, body);
}

TEST(PayflowEndToEnd, LiveHostDeclineAndTaggedEcho) {
    const size_t before = ReceivedRequests().size();
    const SHostRun run = RunHost(TransactionScript(
        "PAYPAL",
        kMerchant + kSale +
            "|AMT=1001.00|VERBOSITY=HIGH|BILLTOLASTNAME=& Foo|X-VPS-REQUEST-ID=e2e-decline-1",
        {"result", "respmsg", "billtolastname", "pnref", "pgv.status", "pgv.transaction_id",
         "pgv.avs"}));
    EXPECT_EQ(run.Result(kFirstResult), "12");
    EXPECT_EQ(run.Result(kFirstResult + 1), "Declined");
    EXPECT_EQ(run.Result(kFirstResult + 2), "& Foo") << "a value holding & comes length-tagged";
    EXPECT_THAT(*run.Result(kFirstResult + 3), ::testing::MatchesRegex("V[A-Z0-9]{11}"));
    EXPECT_EQ(run.Result(kFirstResult + 4), "declined");
    EXPECT_EQ(run.Result(kFirstResult + 5), run.Result(kFirstResult + 3));
    EXPECT_EQ(run.Result(kFirstResult + 6), "YY");
    const std::vector<SReceivedRequest> requests = RequestsSince(before);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_THAT(requests[0].headers, ::testing::Contains("Host: payflowpro.paypal.com"));
}

TEST(PayflowEndToEnd, ResendUnderTheSameIdIsAnsweredAsDuplicate) {
    std::string script =
        TransactionScript("PAYPAL", kMerchant + kSale + "|AMT=3.00|X-VPS-REQUEST-ID=e2e-dup-1",
                          {"pnref", "duplicate"});
    // The same transaction again: the request id survives, so the gateway knows it.
    script +=
        "PGV_SendTransaction\nPGV_GetResult ( \"pnref\" )\nPGV_GetResult ( \"duplicate\" )\n"
        "PGV_GetResult ( \"pgv.status\" )\nPGV_GetResult ( \"pgv.transaction_id\" )\n";
    const SHostRun run = RunHost(script);
    EXPECT_EQ(run.Result(kFirstResult + 1), "Error - no result obtained");
    EXPECT_EQ(run.Result(kFirstResult + 3), run.Result(kFirstResult));
    EXPECT_EQ(run.Result(kFirstResult + 4), "1");
    EXPECT_EQ(run.Result(kFirstResult + 5), "approved");
    EXPECT_EQ(run.Result(kFirstResult + 6), run.Result(kFirstResult));
}

// A new request id with an order id sent before: the gateway answers with the earlier
// transaction's answer, which is no approval of this one.
TEST(PayflowEndToEnd, AnOrderIdSentBeforeIsARepeat) {
    const std::string sale = kMerchant + kSale + "|AMT=6.00|ORDERID=e2e-order-6";
    const SHostRun first = RunHost(TransactionScript(
        "PAYPAL", sale + "|X-VPS-REQUEST-ID=e2e-order-6a", {"pgv.status", "pgv.transaction_id"}));
    ASSERT_EQ(first.Result(kFirstResult), "approved");
    const SHostRun again = RunHost(TransactionScript(
        "PAYPAL", sale + "|X-VPS-REQUEST-ID=e2e-order-6b",
        {"duplicate", "pgv.status", "pgv.duplicate", "pgv.approved", "pgv.transaction_id"}));
    EXPECT_EQ(again.Result(kFirstResult), "2");
    EXPECT_EQ(again.Result(kFirstResult + 1), "error");
    EXPECT_EQ(again.Result(kFirstResult + 2), "1");
    EXPECT_EQ(again.Result(kFirstResult + 3), "0");
    EXPECT_EQ(again.Result(kFirstResult + 4), first.Result(kFirstResult + 1))
        << "the earlier transaction, to look up";
}

TEST(PayflowEndToEnd, WithoutAnyRequestIdTheHeaderGoesBare) {
    const size_t before = ReceivedRequests().size();
    const SHostRun run = RunHost(
        TransactionScript("PAYPAL", kMerchant + kSale + "|AMT=4.00", {"result", "respmsg"}));
    EXPECT_EQ(run.Result(kFirstResult), "7");
    EXPECT_EQ(run.Result(kFirstResult + 1), "Field format error: X-VPS-REQUEST-ID");
    const std::vector<SReceivedRequest> requests = RequestsSince(before);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_THAT(requests[0].headers, ::testing::Contains(BareHeader("X-VPS-REQUEST-ID")));
}

}  // namespace
