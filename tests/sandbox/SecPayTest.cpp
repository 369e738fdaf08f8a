#include <gtest/gtest.h>

#include <string>

#include "Support.h"

namespace pgv::sandbox {
namespace {

TEST(SecPay, DecidesLikeTheTestMode) {
    const std::string approved =
        "?valid=true&trans_id=T1&code=A&auth_code=9999&message=TEST AUTH&amount=50.00"
        "&test_status=true";
    const std::string refused = "?valid=false&trans_id=T1&code=";
    test::ExpectAnswers(
        MakeSecPay, "www.secpay.com", "/java-bin/ValCard",
        "merchant=secpay&remotepassword=secpay&trans_id=T1&amount=50.00&card_no=4444333322221111"
        "&expiry=1299&name=Ada%20Lovelace",
        {{"Server", "Apache"}, {"Content-Type", "text/plain"}},
        {
            {"cv2=123", approved + "&cv2avs=ALL MATCH"},
            {"trans_id=order%201%2F2&amount=007.5",
             "?valid=true&trans_id=order 1/2&code=A&auth_code=9999&message=TEST AUTH&amount=007.5"
             "&test_status=true"},
            {"trans_id=T+2",
             "?valid=true&trans_id=T 2&code=A&auth_code=9999&message=TEST AUTH&amount=50.00"
             "&test_status=true",
             true},
            {"merchant=", refused + "P:M&message=Invalid merchant or password"},
            {"trans_id=", "?valid=false&trans_id=&code=P:X&message=Missing parameter trans_id"},
            {"amount=1.005", refused + "P:A&message=Invalid amount"},
            {"card_no=4444333322221112", refused + "P:C&message=Luhn Check Failed&correct=false"},
            {"expiry=1220", refused + "P:E&message=Expiry date invalid&correct=false"},
            {"options=dups%3Dfalse%2C%20test_status%3Dfalse",
             refused + "N&message=TEST DECLINE&test_status=false"},
            {"options=test_status%3Dfalsely", approved},
            {"options=test_status%3Dlive",
             "?valid=true&trans_id=T1&code=A&auth_code=AB1234&amount=50.00"},
        });
}

}  // namespace
}  // namespace pgv::sandbox
