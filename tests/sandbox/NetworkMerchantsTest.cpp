#include <gtest/gtest.h>

#include <string>

#include "Support.h"

namespace pgv::sandbox {
namespace {

// With a fresh gateway's first transaction id and first refusal reference.
std::string Approved(const std::string& cvv, const std::string& type = "sale") {
    return "response=1&responsetext=SUCCESS&authcode=123456&transactionid=2500000001"
           "&avsresponse=N&cvvresponse=" +
           cvv + "&orderid=&type=" + type + "&response_code=100";
}

std::string Refused(const std::string& text, const std::string& type = "sale") {
    return "response=3&responsetext=" + text +
           " REFID:100000001&authcode=&transactionid="
           "&avsresponse=&cvvresponse=&orderid=&type=" +
           type + "&response_code=300";
}

TEST(NetworkMerchants, DecidesLikeTheTestAccount) {
    test::ExpectAnswers(
        MakeNetworkMerchants, "secure.networkmerchants.com", "/api/transact.php",
        "username=demo&password=password&ccnumber=4111111111111111&ccexp=1299&amount=10.00",
        {{"Server", "Apache"}, {"Content-Type", "text/html"}},
        {
            {"cvv=123&orderid=A%26B",
             "response=1&responsetext=SUCCESS&authcode=123456&transactionid=2500000001"
             "&avsresponse=N&cvvresponse=M&orderid=A&B&type=sale&response_code=100"},
            {"amount=0.99&cvv=123",
             "response=2&responsetext=DECLINE&authcode=&transactionid=2500000001&avsresponse=N"
             "&cvvresponse=N&orderid=&type=sale&response_code=200"},
            {"password=",
             "response=3&responsetext=Invalid Username&authcode=&transactionid=0&avsresponse="
             "&cvvresponse=&orderid=&type=sale&response_code=300"},
            {"cvv=999", Approved("N")},
            {"merchant_defined_field_1=Pw%20echo&merchant_defined_field_=x&Merchant_Defined_Field_"
             "2=2",
             Approved("") + "&merchant_defined_field_1=Pw echo&Merchant_Defined_Field_2=2"},
            {"type=auth", Approved("", "auth"), true},
            {"type=validate&amount=", Approved("", "validate")},
            {"type=capture&transactionid=7&ccnumber=&ccexp=", Approved("", "capture")},
            {"type=SALE", Refused("Invalid Transaction Type", "SALE")},
            {"ccnumber=4111111111111112", Refused("Invalid Credit Card Number")},
            {"ccexp=1220", Refused("Invalid Credit Card Expiration")},
            {"amount=ten", Refused("Invalid amount")},
            {"type=void&ccnumber=", Refused("Invalid Transaction ID specified", "void")},
        });
}

}  // namespace
}  // namespace pgv::sandbox
