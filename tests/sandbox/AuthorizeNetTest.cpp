#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Support.h"

namespace pgv::sandbox {
namespace {

const std::string kAim =
    "x_login=abc&x_tran_key=key&x_delim_data=TRUE&x_relay_response=FALSE&x_delim_char=%7C"
    "&x_amount=12.50&x_card_num=4111111111111111&x_exp_date=1230";
const std::string kTrack =
    "x_cpversion=1.0&x_login=abc&x_tran_key=key&x_market_type=2&x_device_type=4"
    "&x_response_format=1&x_delim_char=%7C&x_amount=5.00"
    "&x_track2=%3B4111111111111111%3D30121011000012345678%3F";

// Response code/reason code/authorization code/AVS code/transaction id/card code response of a
// '|'-delimited answer in either layout; any other answer whole.
std::string Summary(const std::string& body) {
    std::vector<std::string> f;
    std::stringstream in(body + "|");
    for (std::string field; std::getline(in, field, '|');) {
        f.push_back(field);
    }
    const bool cardPresent = f.size() == 26 && f[0] == "1.0";
    if (!cardPresent && f.size() != 68) {
        return body;
    }
    return f[cardPresent ? 1 : 0] + "/" + f[2] + "/" + f[4] + "/" + f[5] + "/" +
           f[cardPresent ? 7 : 6] + "/" + f[cardPresent ? 6 : 38];
}

void Expect(const char* host, const std::string& base, const std::vector<test::SRow>& rows) {
    test::ExpectAnswers([] { return MakeAuthorizeNet([] {
                                 return SYearMonth{2026, 6};
                             }); }, host,
                        "/gateway/transact.dll", base,
                        {{"Server", "Microsoft-IIS/10.0"}, {"Content-Type", "text/html"}}, rows,
                        Summary);
}

TEST(AuthorizeNet, DecidesLikeTheTestMode) {
    const std::string ok = "1/1/JUG33L/Y/2000000001/";
    Expect(
        "secure.authorize.net", kAim,
        {
            {"x_version=3.1&x_delim_char=%2C&x_encap_char=%7C&x_type=AUTH_ONLY&x_amount=12.5"
             "&x_card_num=5424000000000015&x_exp_date=03%2F27&x_card_code=123"
             "&x_invoice_num=INV-1&x_description=Two%20widgets&x_cust_id=C7&x_first_name=Ann"
             "&x_email=ann%40example.com&x_ship_to_city=Reno&x_po_num=PO9&Custom1=a%2Cb"
             "&X_Hidden=1&order=42",
             "|1|,|1|,|1|,|This transaction has been approved.|,|JUG33L|,|Y|,|2000000001|,"
             "|INV-1|,|Two widgets|,|12.50|,|CC|,|auth_only|,|C7|,|Ann|,||,||,||,||,||,||,||,"
             "||,||,|ann@example.com|,||,||,||,||,|Reno|,||,||,||,||,||,||,||,|PO9|,"
             "|8006C2139000D1E52252747C182A8FB0|,|M|,|2|,||,||,||,||,||,||,||,||,||,||,"
             "|XXXX0015|,|MasterCard|,||,||,||,||,||,||,||,||,||,||,||,||,||,||,||,||,|a,b|,"
             "|42|"},
            {"x_login=&x_delim_data=true&x_delim_char=%2C",
             "3,1,13,The merchant login ID or password is invalid or the account is inactive.,"
             ",P,0,,,12.50,CC,auth_capture" +
                 std::string(25, ',') + ",2F03462C7749BAE95F1D225C768E9F2F" + std::string(12, ',') +
                 ",XXXX1111,Visa" + std::string(16, ',')},
            {"x_first_name=Ann+Lee", ok, true},
            {"x_card_code=901", ok + "N"},
            {"x_test_request=TRUE", "1/1/000000/Y/0/"},
            {"x_test_request=true&x_card_num=4222222222222&x_amount=2", "2/2//Y/0/"},
            {"x_exp_date=05%2F26", "3/8//P/0/"},
            {"x_card_num=4111111111111112", "3/6//P/0/"},
            {"x_amount=1.005", "3/5//P/0/"},
            {"x_type=SALE", "3/69//P/0/"},
            {"x_card_num=4222222222222&x_amount=27", "2/27//N/2000000001/"},
            {"x_zip=46282", "2/2//N/2000000001/"},
            {"x_type=VOID", "3/15//P/0/"},
            {"x_type=CREDIT&x_trans_id=7&x_card_num=1111", ok},
            {"x_type=CAPTURE_ONLY", "3/12//P/0/"},
            {"x_cpversion=1.0&x_market_type=2&x_device_type=4&x_response_format=1", "3/87//P/0/"},
        });
    Expect("cardpresent.authorize.net", kTrack,
           {
               {"x_delim_char=%2C&x_encap_char=%22&x_user_ref=R1&x_amount=5",
                "\"1.0\",\"1\",\"1\",\"This transaction has been approved.\",\"JUG33L\",\"Y\","
                "\"\",\"2000000001\",\"F478CCC22F02D79CA39FC249662E19EA\",\"R1\","
                "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"XXXX1111\","
                "\"Visa\",\"\",\"5.00\",\"5.00\",\"\""},
               {"x_track2=&x_track1=%25B4111111111111111%5EDOE%2FJ%5E3012101%3F", ok},
               {"x_track2=&x_track1=B41111111", "3/88//P/0/"},
               {"x_cpversion=1.1", "3/68//P/0/"},
               {"x_device_type=11", "3/84//P/0/"},
           });
    Expect("cardpresent.authorize.net", kAim, {{"x_user_ref=R1", "3/87//P/0/"}});
    Expect("test.authorize.net", kTrack, {{"x_user_ref=R1", ok}});
}

}  // namespace
}  // namespace pgv::sandbox
