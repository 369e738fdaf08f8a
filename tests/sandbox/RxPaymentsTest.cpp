#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Support.h"

namespace pgv::sandbox {
namespace {

std::string Failure(const std::string& code, const std::string& message) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<response>\n  <code>" + code +
           "</code>\n  <errormessage>" + message + "</errormessage>\n</response>\n";
}

TEST(RxPayments, EachEndpointDecidesItsOwnKind) {
    const std::string charge =
        "TRANS_TYPE=AUTH_CAPTURE&rx_merchant=rx1001&rx_password=pa55&rx_ipaddress=192.168.1.20"
        "&rx_amount=12.00&rx_cardnumber=4111111111111111&rx_expdate=1299";
    // A fresh gateway's first transaction.
    const std::string success =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<response>\n  <success>true</success>\n"
        "  <transaction>RX10000001</transaction>\n  <confirmation>REDF75</confirmation>\n"
        "</response>\n";
    const HeaderList xml = {{"Server", "Apache"}, {"Content-Type", "text/xml"}};
    const auto expect = [&](const char* endpoint, const std::vector<test::SRow>& rows) {
        test::ExpectAnswers(MakeRxPayments, "secure.rxpayments.com",
                            std::string("/secure/") + endpoint, charge, xml, rows);
    };
    expect(
        "rxprocess",
        {
            {"rx_ipaddress=255.255.255.255", success},
            {"TRANS_TYPE=AUTH_PREAUTH", Failure("E01", "TRANS_TYPE does not match the endpoint")},
            {"rx_password=", Failure("E02", "Invalid merchant or password")},
            {"rx_ipaddress=1.2.3.4.5", Failure("E03", "rx_ipaddress is required")},
            {"rx_amount=1.005", Failure("E04", "Invalid amount")},
            {"rx_cardnumber=4111111111111112", Failure("E05", "Invalid card number")},
            {"rx_expdate=1220", Failure("E06", "Card expired")},
        });
    expect("rxauthorize",
           {{"TRANS_TYPE=AUTH_PREAUTH&rx_amount=0.99", Failure("E12", "Card declined")}});
    expect("rxsettle",
           {{"TRANS_TYPE=AUTH_SETTLE&rx_amount=x&rx_cardnumber=&rx_transaction=RX1", success}});
    expect("rxrefund",
           {{"TRANS_TYPE=AUTH_REFUND&rx_amount=0.50&rx_cardnumber=&rx_transaction=RX1", success},
            {"TRANS_TYPE=AUTH_REFUND", Failure("E07", "Transaction not found")}});
}

}  // namespace
}  // namespace pgv::sandbox
