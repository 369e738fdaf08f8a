// A follow-up built from pgv.transaction_id alone, the same way for every gateway: the script
// that captures an authorisation need not know where each gateway keeps its id. SecPay is not
// here: its captures, voids and refunds belong to its SOAP service, which the plug-in does not
// speak, and not to the ValCard call.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Support.h"

namespace {

TEST(FollowUpEndToEnd, CaptureBuiltFromTheNormalisedTransactionId) {
    const std::string authNet = "x_login=demo1234|x_tran_key=7xKey9000|x_version=3.1";
    const std::string nmi = "username=demo|password=password";
    const std::string sage = "M_id=444444444444|M_key=K3Y";
    const std::string rxPay = "rx_merchant=rx1001|rx_password=pa55";
    const std::string payflow = "USER=me|VENDOR=me|PARTNER=PayPal|PWD=s3cret|test_account=1";
    const struct {
        const char* portal;
        std::string authorisation;
        std::string capture;  // followed by the transaction id
    } cases[] = {
        {"AUTHNET",
         authNet + "|x_type=AUTH_ONLY|x_amount=5.00|x_card_num=4111111111111111|x_exp_date=1230",
         authNet + "|x_type=PRIOR_AUTH_CAPTURE|x_trans_id="},
        {"NMI", nmi + "|type=auth|ccnumber=4111111111111111|ccexp=1230|amount=5.00",
         nmi + "|type=capture|amount=5.00|transactionid="},
        {"SAGE", sage + "|T_code=02|T_amt=5.00|C_cardnumber=4111111111111111|C_exp=1230",
         sage + "|T_code=11|T_reference="},
        {"RXPAY",
         rxPay + "|TRANS_TYPE=AUTH_PREAUTH|rx_cardnumber=4111111111111111|rx_expdate=1230|"
                 "rx_amount=5.00",
         rxPay + "|TRANS_TYPE=AUTH_SETTLE|rx_transaction="},
        {"PAYPAL",
         payflow + "|X-VPS-REQUEST-ID=e2e-follow-up-1|TRXTYPE=A|TENDER=C|ACCT=4111111111111111|"
                   "EXPDATE=1230|AMT=5.00",
         payflow + "|X-VPS-REQUEST-ID=e2e-follow-up-2|TRXTYPE=D|ORIGID="},
    };
    const std::vector<std::string> fields = {"pgv.status", "pgv.transaction_id", "pgv.gateway"};
    for (const auto& c : cases) {
        const SHostRun authorised = RunHost(TransactionScript(c.portal, c.authorisation, fields));
        ASSERT_EQ(authorised.Result(kFirstResult), "approved") << c.portal;
        const std::string id = *authorised.Result(kFirstResult + 1);
        ASSERT_FALSE(id.empty()) << c.portal;
        EXPECT_EQ(authorised.Result(kFirstResult + 2), c.portal);

        const size_t before = ReceivedRequests().size();
        const SHostRun captured = RunHost(TransactionScript(c.portal, c.capture + id, fields));
        EXPECT_EQ(captured.Result(kFirstResult), "approved") << c.portal;
        const std::vector<SReceivedRequest> requests = RequestsSince(before);
        ASSERT_EQ(requests.size(), 1u) << c.portal;
        EXPECT_THAT(requests[0].requestLine + requests[0].body, ::testing::HasSubstr(id))
            << c.portal;
    }
}

}  // namespace
