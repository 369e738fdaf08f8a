#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "Support.h"

namespace pgv::sandbox {
namespace {

// Records are framed by STX (\002), separated by FS (\034) and ended by ETX (\003).
const std::string kSale =
    "M_id=111111111111&M_key=K3Y&trans_type=transaction&T_code=01&T_amt=19.95&C_name=Ann%20Lee"
    "&C_cardnumber=4111111111111111&C_exp=1299&T_ordernum=order1";
const std::string kSettle = "M_id=111111111111&M_key=K3Y&trans_type=settlement";
const std::string kRefused = "00P 000000000000\034\0340\034\003";
const std::string kOrder1 = "##########\034order1\0340\034\003";

std::string Post(IGateway& gateway, const std::string& operation, const std::string& body) {
    const SHttpResponse response = gateway.Handle(test::Parsed(
        "POST", "/cgi-bin/eftBankcard.dll?" + operation, "www.sagepayments.net", body));
    const HeaderList headers = {{"Server", "Microsoft-IIS/10.0"}, {"Content-Type", "text/html"}};
    EXPECT_EQ(response.headers, headers);
    return response.body;
}

// The record with its random reference, found at `at`, and a generated order number masked.
std::string Masked(std::string record, size_t at = 46) {
    const auto alnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    if (record.size() >= at + 10 && record.compare(at, 10, "0000000000") != 0 &&
        std::all_of(record.begin() + at, record.begin() + at + 10, alnum)) {
        record.replace(at, 10, "##########");
    }
    const size_t open = record.find('\034');
    const auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
    if (open != std::string::npos && record.size() > open + 21 && record[open + 21] == '\034' &&
        std::all_of(record.begin() + open + 1, record.begin() + open + 21, hex)) {
        record.replace(open + 1, 20, "<generated>");
    }
    return record;
}

TEST(SagePayments, TransactionsAnswerTheirFixedWidthRecord) {
    const struct {
        std::string fields;  // put before the sale's own
        std::string expected;
        bool afterSale = false;  // a sale is made first and its reference sent
    } cases[] = {
        {"C_cvv=123&C_zip=10001&T_ordernum=INV-7",
         "\002A000001APPROVED 000001                 10MY00##########\034INV-7\0340\034\003"},
        {"T_amt=0.01&T_ordernum=o",
         "\002E000002DECLINED                        10N 00##########\034o\0340\034\003"},
        {"M_key=", "\002X911911SECURITY VIOLATION              00P 000000000000\034\0340\034\003"},
        {"T_code=03&T_amt=0.50", "\002A000001APPROVED 000001                 10P 00" + kOrder1},
        {"T_ordernum=",
         "\002A000001APPROVED 000001                 10P 00##########\034<generated>\0340\034\003"},
        {"T_code=05", "\002X900023INVALID T_CODE                  " + kRefused},
        {"C_cardnumber=4111111111111112", "\002X900014INVALID C_CARDNUMBER            " + kRefused},
        {"C_exp=0120", "\002X900015INVALID C_EXP                   " + kRefused},
        {"T_amt=1.005", "\002X900016INVALID T_AMT                   " + kRefused},
        {"T_code=04&C_cardnumber=&T_amt=",
         "\002A000002APPROVED 000002                 10P 00" + kOrder1, true},
        {"T_code=04&M_id=999", "\002X900022INVALID T_REFERENCE             " + kRefused, true},
        {"T_code=11&C_zip=10001&C_cardnumber=&T_amt=",
         "\002A000002APPROVED 000002                 10PY00" + kOrder1, true},
    };
    for (const auto& c : cases) {
        const auto gateway = MakeSagePayments();
        std::string body = c.fields + "&" + kSale;
        if (c.afterSale) {
            body =
                "T_reference=" + Post(*gateway, "transaction", kSale).substr(46, 10) + "&" + body;
        }
        EXPECT_EQ(Masked(Post(*gateway, "transaction", body)), c.expected) << body;
    }
}

TEST(SagePayments, SettlementTalliesTheMerchantsOpenBatch) {
    const auto gateway = MakeSagePayments();
    const std::string sale = Post(*gateway, "transaction", kSale).substr(46, 10);
    // An authorisation, a decline and another merchant's sale stay out of the batch.
    Post(*gateway, "transaction", "T_code=02&" + kSale);
    Post(*gateway, "transaction", "T_amt=0.50&" + kSale);
    Post(*gateway, "transaction", "M_id=other&" + kSale);
    // A credit counts against it.
    Post(*gateway, "transaction",
         "T_code=06&T_amt=20.00&C_cardnumber=&T_reference=" + sale + "&" + kSale);
    EXPECT_EQ(Masked(Post(*gateway, "settlement", kSettle), 58),
              "\002A000001BATCH ACCEPTED                  000002-00000000.05##########\034\003");
    EXPECT_EQ(Post(*gateway, "settlement", "M_key=&" + kSettle),
              "\002X911911SECURITY VIOLATION              000000000000000.000000000000\034\003");
}

}  // namespace
}  // namespace pgv::sandbox
