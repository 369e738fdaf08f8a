#include <gtest/gtest.h>

#include <map>
#include <string>

#include "gateway/CardData.h"
#include "log/LogMask.h"

namespace {

TEST(CardData, IsCardNumberNeedsLuhnAndLength) {
    const struct {
        const char* value;
        bool card;
    } cases[] = {{"4111111111111111", true},
                 {"4111111111111112", false},
                 {"411100000008", false},  // Luhn-valid, 12 digits
                 {"4222222222222", true},
                 {"4000000000000000006", true},
                 {"40000000000000000002", false},  // Luhn-valid, 20 digits
                 {"4111 1111 1111 1111", true},
                 {"4111-1111-1111-1111", true},
                 {"4111 1111-1111 1111", true},
                 {" 4111111111111111", false},
                 {"4111111111111111 ", false},
                 {"4111  1111 1111 1111", false},
                 {"4111 -1111 1111 1111", false},
                 {"4111.1111.1111.1111", false},
                 {"4111111111111111a", false},
                 {"a4111111111111111", false},
                 {"", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsCardNumber(c.value), c.card) << '"' << c.value << '"';
    }
}

TEST(CardData, MaskCardNumberKeepsLastFourAndSeparators) {
    const struct {
        const char* value;
        const char* masked;
    } cases[] = {{"4111111111111111", "XXXXXXXXXXXX1111"},
                 {"4111 1111 1111 1234", "XXXX XXXX XXXX 1234"},
                 {"4111-1111-1111-1234", "XXXX-XXXX-XXXX-1234"},
                 {"4222222222222", "XXXXXXXXX2222"},
                 {"4111 1111 1111 12 34", "XXXX XXXX XXXX 12 34"}};
    for (const auto& c : cases) {
        EXPECT_EQ(MaskCardNumber(c.value), c.masked);
    }
}

TEST(CardData, IsSecretParameterNameIgnoresCase) {
    const struct {
        const char* name;
        bool secret;
    } cases[] = {{"x_card_num", true},  {"CardNumber", true},  {"ACCT", true},
                 {"x_card_code", true}, {"CVV2", true},        {"x_tran_key", true},
                 {"PWD", true},         {"x_password", true},  {"track1", true},
                 {"swipe_data", true},  {"X_CARD_NUM", true},  {"x_amount", false},
                 {"x_login", false},    {"x_trans_id", false}, {"x_invoice_num", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsSecretParameterName(c.name), c.secret) << c.name;
    }
}

TEST(CardData, LogMaskHidesSecretsInLines) {
    const std::map<std::string, std::string> card = {{"x_description", "4111 1111 1111 1111"},
                                                     {"x_amount", "12.00"}};
    const std::map<std::string, std::string> code = {{"x_card_code", "123"},
                                                     {"x_invoice_num", "123"}};
    const std::map<std::string, std::string> password = {{"x_password", "p@ss word"}};
    const struct {
        const std::map<std::string, std::string>& params;
        bool escaped;
        const char* line;
        const char* masked;
    } cases[] = {
        {card, false, "x_description=4111 1111 1111 1111", "x_description=XXXX XXXX XXXX 1111"},
        {card, false, "echo 4111 1111 1111 1111 and 4111 1111 1111 1111.",
         "echo XXXX XXXX XXXX 1111 and XXXX XXXX XXXX 1111."},
        {card, true, " URL - x_amount=12.00&x_description=4111%201111%201111%201111",
         " URL - x_amount=12.00&x_description=XXXX%20XXXX%20XXXX%201111"},
        {card, true, "x_amount=12.00", "x_amount=12.00"},
        {code, false, "x_card_code=123", "x_card_code=********"},
        {code, false, "x_card_code[3]=123", "x_card_code[3]=********"},
        {code, false, "a=1&x_card_code=123&b=2", "a=1&x_card_code=********&b=2"},
        {code, false, "x_card_code=123,x_invoice_num=123|x_po_num=123",
         "x_card_code=********,x_invoice_num=123|x_po_num=123"},
        {code, false, "x_invoice_num=123", "x_invoice_num=123"},
        {code, false, "x_card_code=1234", "x_card_code=1234"},
        {code, false, "x_card_code[x]=123", "x_card_code[x]=123"},
        {code, false, "01-02-24 10:11:12 :     x_card_code=123",
         "01-02-24 10:11:12 :     x_card_code=********"},
        {password, true, "x_login=me&x_password=p%40ss%20word", "x_login=me&x_password=********"},
        {password, true, "x_password=p@ss word", "x_password=********"}};
    for (const auto& c : cases) {
        EXPECT_EQ(BuildLogMask(c.params, c.escaped).Apply(c.line), c.masked);
    }
}

}  // namespace
