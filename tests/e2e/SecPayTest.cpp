#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>

#include "Support.h"

namespace {

const std::string kMerchant = "merchant=secpay|remotepassword=secpay|name=Ada Lovelace";

TEST(SecPayEndToEnd, ApprovalAsSentAndAsRead) {
    const size_t before = ReceivedRequests().size();
    const long long sentAfter = std::time(nullptr);
    const SHostRun run = RunHost(TransactionScript(
        "SECPAY", kMerchant + "|amount=50.00|card_no=4444333322221111|expiry=1230|cv2=123",
        {"valid", "code", "auth_code", "message", "trans_id", "cv2avs", "all", "pgv.status",
         "pgv.transaction_id", "pgv.avs"}));
    const long long sentBefore = std::time(nullptr);
    ASSERT_EQ(run.Result(3), "1") << run.errors;
    EXPECT_EQ(run.Result(kFirstResult), "true");
    EXPECT_EQ(run.Result(kFirstResult + 1), "A");
    EXPECT_EQ(run.Result(kFirstResult + 2), "9999");
    EXPECT_EQ(run.Result(kFirstResult + 3), "TEST AUTH");
    EXPECT_EQ(run.Result(kFirstResult + 5), "ALL MATCH");
    EXPECT_EQ(run.Result(kFirstResult + 7), "test") << "the sandbox answers as the test mode";
    EXPECT_EQ(run.Result(kFirstResult + 8), run.Result(kFirstResult + 4));
    EXPECT_EQ(run.Result(kFirstResult + 9), "ALL MATCH");

    const std::vector<SReceivedRequest> requests = RequestsSince(before);
    ASSERT_EQ(requests.size(), 1u);
    const std::string transId = *run.Result(kFirstResult + 4);
    EXPECT_GE(std::stoll(transId), sentAfter) << "the default transaction id is the clock";
    EXPECT_LE(std::stoll(transId), sentBefore);
    EXPECT_EQ(requests[0].requestLine,
              "GET /java-bin/ValCard?amount=50.00&card_no=4444333322221111&cv2=123&expiry=1230&"
              "merchant=secpay&name=Ada%20Lovelace&remotepassword=secpay&trans_id=" +
                  transId + " " + HttpVersion());
    EXPECT_EQ(requests[0].headers, ExpectedHeaders("www.secpay.com"));
    EXPECT_EQ(run.Result(kFirstResult + 6),
              "valid=true&trans_id=" + transId +
                  "&code=A&auth_code=9999&message=TEST AUTH&amount=50.00&test_status=true&"
                  "cv2avs=ALL MATCH")
        << "the answer loses its leading question mark";
}

TEST(SecPayEndToEnd, DeclinesRefusalsAndALiveApproval) {
    struct SCase {
        std::string parameters;
        std::string valid;
        std::string code;
        std::string message;
        std::string status;
    };
    const std::string card = "|amount=5.00|card_no=4444333322221111|expiry=1230";
    const SCase cases[] = {
        {kMerchant + card + "|options=test_status=false,dups=false|trans_id=order-17", "false", "N",
         "TEST DECLINE", "declined"},
        {kMerchant + "|amount=5.00|card_no=4444333322221112|expiry=1230", "false", "P:C",
         "Luhn Check Failed", "error"},
        {"name=x" + card, "false", "P:M", "Invalid merchant or password", "error"},
        {kMerchant + card + "|options=test_status=live", "true", "A", "Approved", "approved"},
    };
    for (const SCase& c : cases) {
        const SHostRun run = RunHost(TransactionScript(
            "SECPAY", c.parameters,
            {"valid", "code", "message", "trans_id", "pgv.status", "pgv.transaction_id"}));
        EXPECT_EQ(run.Result(3), "1") << c.parameters;
        EXPECT_EQ(run.Result(kFirstResult), c.valid) << c.parameters;
        EXPECT_EQ(run.Result(kFirstResult + 1), c.code) << c.parameters;
        EXPECT_EQ(run.Result(kFirstResult + 2), c.message) << c.parameters;
        EXPECT_EQ(run.Result(kFirstResult + 4), c.status) << c.parameters;
        EXPECT_EQ(run.Result(kFirstResult + 5), run.Result(kFirstResult + 3)) << c.parameters;
    }
}

TEST(SecPayEndToEnd, CallersTransactionIdWins) {
    const size_t before = ReceivedRequests().size();
    const SHostRun run = RunHost(TransactionScript(
        "SECPAY", kMerchant + "|amount=5.00|card_no=4444333322221111|expiry=1230|trans_id=A 1",
        {"trans_id", "pgv.transaction_id"}));
    EXPECT_EQ(run.Result(kFirstResult), "A 1");
    EXPECT_EQ(run.Result(kFirstResult + 1), "A 1");
    const std::vector<SReceivedRequest> requests = RequestsSince(before);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_THAT(requests[0].requestLine, ::testing::HasSubstr("&trans_id=A%201 " + HttpVersion()));
}

}  // namespace
