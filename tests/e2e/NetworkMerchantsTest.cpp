#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Support.h"

namespace {

const std::string kMerchant = "username=demo|password=password";

TEST(NetworkMerchantsEndToEnd, ApprovalAsSentAndAsRead) {
    const size_t before = ReceivedRequests().size();
    const SHostRun run = RunHost(TransactionScript(
        "NMI",
        kMerchant + "|type=sale|ccnumber=4111111111111111|ccexp=1230|amount=10.00|cvv=123|"
                    "orderid=Order #7",
        {"response", "responsetext", "authcode", "transactionid", "cvvresponse", "orderid",
         "response_code", "RESPONSE", "pgv.status", "pgv.transaction_id", "pgv.cvv"}));
    ASSERT_EQ(run.Result(3), "1") << run.errors;
    EXPECT_EQ(run.Result(kFirstResult), "1");
    EXPECT_EQ(run.Result(kFirstResult + 1), "SUCCESS");
    EXPECT_EQ(run.Result(kFirstResult + 2), "123456");
    EXPECT_THAT(*run.Result(kFirstResult + 3), ::testing::MatchesRegex("[0-9]{10}"));
    EXPECT_EQ(run.Result(kFirstResult + 4), "M");
    EXPECT_EQ(run.Result(kFirstResult + 5), "Order #7");
    EXPECT_EQ(run.Result(kFirstResult + 6), "100");
    EXPECT_EQ(run.Result(kFirstResult + 7), "1") << "field names are read without case";
    EXPECT_EQ(run.Result(kFirstResult + 8), "approved");
    EXPECT_EQ(run.Result(kFirstResult + 9), run.Result(kFirstResult + 3));
    EXPECT_EQ(run.Result(kFirstResult + 10), "M");

    const std::vector<SReceivedRequest> requests = RequestsSince(before);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine,
              "GET /api/transact.php?amount=10.00&ccexp=1230&ccnumber=4111111111111111&cvv=123&"
              "orderid=Order%20%237&password=password&type=sale&username=demo " +
                  HttpVersion());
    EXPECT_EQ(requests[0].headers, ExpectedHeaders("secure.networkmerchants.com"));
}

TEST(NetworkMerchantsEndToEnd, DeclinesAndErrors) {
    struct SCase {
        std::string parameters;
        std::string response;
        std::string code;
        std::string status;
    };
    const std::string card = "|ccnumber=4111111111111111|ccexp=1230";
    const SCase cases[] = {
        {kMerchant + card + "|amount=0.50", "2", "200", "declined"},
        {kMerchant + "|ccnumber=4111111111111112|ccexp=1230|amount=5.00", "3", "300", "error"},
        {"username=demo" + card + "|amount=5.00", "3", "300", "error"},
    };
    for (const SCase& c : cases) {
        const SHostRun run = RunHost(TransactionScript(
            "NMI", c.parameters,
            {"response", "response_code", "transactionid", "pgv.status", "pgv.transaction_id"}));
        EXPECT_EQ(run.Result(3), "1") << c.parameters;
        EXPECT_EQ(run.Result(kFirstResult), c.response) << c.parameters;
        EXPECT_EQ(run.Result(kFirstResult + 1), c.code) << c.parameters;
        EXPECT_EQ(run.Result(kFirstResult + 3), c.status) << c.parameters;
        EXPECT_EQ(run.Result(kFirstResult + 4), run.Result(kFirstResult + 2)) << c.parameters;
    }
}

}  // namespace
