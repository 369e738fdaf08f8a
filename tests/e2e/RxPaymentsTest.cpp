#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "Support.h"

namespace {

const std::string kMerchant = "rx_merchant=rx1001|rx_password=pa55";
const std::vector<std::string> kFields = {"success",      "transaction",  "confirmation",
                                          "code",         "errormessage", "pairs",
                                          "rx_ipaddress", "pgv.status",   "pgv.transaction_id"};

TEST(RxPaymentsEndToEnd, EachKindOfTransactionReachesItsEndpoint) {
    const std::string card = "|rx_cardnumber=4111111111111111|rx_expdate=1230|rx_amount=12.00";
    const SHostRun sale =
        RunHost(TransactionScript("RXPAY", kMerchant + card + "|TRANS_TYPE=AUTH_CAPTURE", kFields));
    ASSERT_EQ(sale.Result(kFirstResult), "1") << sale.errors;
    const std::string transaction = *sale.Result(kFirstResult + 1);
    EXPECT_THAT(transaction, ::testing::MatchesRegex("RX[0-9]{8}"));
    EXPECT_EQ(sale.Result(kFirstResult + 7), "approved");
    EXPECT_EQ(sale.Result(kFirstResult + 8), transaction);

    struct SCase {
        std::string parameters;
        std::string path;
    };
    const SCase cases[] = {
        {kMerchant + card + "|TRANS_TYPE=AUTH_CAPTURE", "/secure/rxprocess"},
        {kMerchant + card + "|TRANS_TYPE=AUTH_PREAUTH", "/secure/rxauthorize"},
        {kMerchant + "|TRANS_TYPE=AUTH_SETTLE|rx_transaction=" + transaction, "/secure/rxsettle"},
        {kMerchant + "|TRANS_TYPE=AUTH_REFUND|rx_amount=2.00|rx_transaction=" + transaction,
         "/secure/rxrefund"},
    };
    for (const SCase& c : cases) {
        const size_t before = ReceivedRequests().size();
        const SHostRun run = RunHost(TransactionScript("RXPAY", c.parameters, kFields));
        EXPECT_EQ(run.Result(kFirstResult), "1") << c.path << ": " << *run.Result(kFirstResult + 4);
        EXPECT_THAT(*run.Result(kFirstResult + 2), ::testing::MatchesRegex("[A-Z0-9]{6}"));
        EXPECT_EQ(run.Result(kFirstResult + 7), "approved") << c.path;
        EXPECT_EQ(run.Result(kFirstResult + 8), run.Result(kFirstResult + 1)) << c.path;
        const std::vector<SReceivedRequest> requests = RequestsSince(before);
        ASSERT_EQ(requests.size(), 1u) << c.path;
        EXPECT_THAT(requests[0].requestLine, ::testing::StartsWith("GET " + c.path + "?"));
        EXPECT_THAT(requests[0].headers, ::testing::Contains("Host: secure.rxpayments.com"));
        // The address of the machine's network interface.
        EXPECT_EQ(run.Result(kFirstResult + 6), MachineAddress());
        EXPECT_THAT(requests[0].requestLine,
                    ::testing::HasSubstr("&rx_ipaddress=" + MachineAddress()));
    }
}

// The machine's name is known to no hosts file and its name server never answers: a look-up of
// it would hold each call for seconds, the address from the interfaces takes none.
TEST(RxPaymentsEndToEnd, MachineAddressWithoutAskingANameServer) {
    constexpr int kCalls = 20;
    std::string script = "PGV_SelectPortal ( \"RXPAY\" )\n";
    for (int call = 0; call < kCalls; ++call) {
        script += "PGV_SetParameters ( \"TRANS_TYPE=AUTH_CAPTURE\" )\n";
    }
    script += "PGV_GetResult ( \"rx_ipaddress\" )\n";
    const auto start = std::chrono::steady_clock::now();
    const SHostRun run = RunHost(script);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(run.Result(kCalls + 1), MachineAddress());
}

TEST(RxPaymentsEndToEnd, DeclineReadFromTheXml) {
    const SHostRun run = RunHost(TransactionScript(
        "RXPAY",
        kMerchant + "|TRANS_TYPE=AUTH_CAPTURE|rx_cardnumber=4111111111111111|rx_expdate=1230|"
                    "rx_amount=0.50",
        kFields));
    EXPECT_EQ(run.Result(kFirstResult), "0");
    EXPECT_EQ(run.Result(kFirstResult + 3), "E12");
    EXPECT_EQ(run.Result(kFirstResult + 4), "Card declined");
    EXPECT_EQ(run.Result(kFirstResult + 5), "code=E12,errormessage=Card declined,success=0");
    EXPECT_EQ(run.Result(kFirstResult + 7), "declined");
    EXPECT_EQ(run.Result(kFirstResult + 8), "");
}

TEST(RxPaymentsEndToEnd, UnknownKindFailsWithoutAnExchange) {
    const size_t before = ReceivedRequests().size();
    const SHostRun run = RunHost(
        TransactionScript("RXPAY", kMerchant + "|TRANS_TYPE=auth_capture|rx_amount=1.00",
                          {"error", "success", "pgv.status", "pgv.message", "pgv.gateway"}));
    EXPECT_EQ(run.Result(3), "Unable to connect to the portal");
    EXPECT_EQ(run.Result(kFirstResult), "Invalid URL");
    EXPECT_EQ(run.Result(kFirstResult + 1), "Error - no result obtained");
    EXPECT_EQ(run.Result(kFirstResult + 2), "error");
    EXPECT_EQ(run.Result(kFirstResult + 3), "Invalid URL");
    EXPECT_EQ(run.Result(kFirstResult + 4), "");
    EXPECT_EQ(RequestsSince(before).size(), 0u);
}

}  // namespace
