// Real-looking secrets sent on purpose, on every gateway: track data, bracketed names, secrets
// that the gateway echoes, a card number inside a key, names only one gateway knows. RunHost has
// the log scanner read each transaction log and the process log; the cases add the lines the
// masked log must hold.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "LogScan.h"
#include "Support.h"

namespace {

constexpr char kFailed[] = "Unable to connect to the portal";

TEST(SecretsEndToEnd, NoLogShowsWhatTheSuiteSent) {
    struct SCase {
        const char* portal;
        std::string parameters;
        const char* sent;
        std::vector<std::string> lines;  // in the transaction log, line ends aside
    };
    const std::string payflow =
        "USER=me|VENDOR=me|PARTNER=PayPal|PWD=Pf9Secret|TRXTYPE=S|TENDER=C|"
        "ACCT=4111111111111111|EXPDATE=1230|AMT=1.00|CVV2=123";
    const std::string cardPresent =
        "x_login=demo1234|x_tran_key=7xKey9000|x_cpversion=1.0|x_market_type=2|x_device_type=4|"
        "x_amount=1.00";
    const SCase cases[] = {
        // A card number inside a key, a card in a description, a merchant field echoed back.
        {"AUTHNET",
         "x_login=demo1234|x_tran_key=4111111111111111Zk9|x_amount=1.00|x_card_num="
         "4111111111111111|"
         "x_exp_date=1230|x_card_code=123|x_description=Card 5424 0000 0000 0015 on file|"
         "api_key=Zk9EchoKey44",
         "1",
         {"  x_tran_key=********\n", "  x_card_num=XXXXXXXXXXXX1111\n", "  x_card_code=********\n",
          "  x_description=Card XXXX XXXX XXXX 0015 on file\n", "  api_key=********\n",
          "|********|"}},
        // Card numbers with other separators, which the gateway echoes in its answer.
        {"AUTHNET",
         "x_login=demo1234|x_tran_key=7xKey9000|x_amount=1.00|x_card_num=4111 1111  1111 1111|"
         "x_exp_date=1230|x_description=5424 - 0000 - 0000 - 0015|"
         "x_invoice_num=4111+1111+1111+1111|x_po_num=4111\t1111\t1111\t1111",
         "1",
         {"  x_card_num=XXXX XXXX  XXXX 1111\n", "  x_description=XXXX - XXXX - XXXX - 0015\n",
          "x_card_num=XXXX%20XXXX%20%20XXXX%201111&", "x_invoice_num=XXXX%2BXXXX%2BXXXX%2B1111&",
          "  x_invoice_num=XXXX+XXXX+XXXX+1111\n", "  x_po_num=XXXX\tXXXX\tXXXX\t1111\n"}},
        // Track data beside the card number it carries, and track data under a plain name.
        {"AUTHNET",
         cardPresent + "|x_card_num=4111111111111111|x_exp_date=1230|"
                       "x_track2=4111111111111111=30121010000012345678|"
                       "x_user_ref=;5424000000000015=30121010000000000000?",
         "1",
         {"  x_card_num=XXXXXXXXXXXX1111\n", "  x_track2=********\n", "  x_user_ref=********\n",
          "  x_user_reference=********\n"}},
        {"AUTHNET",
         cardPresent + "|x_track1=%B4111111111111111^DOE/JOHN^30121010000000000000?",
         "1",
         {"  x_track1=********\n"}},
        // A bracketed name, names only this gateway calls secret, a password the answer echoes.
        {"NMI",
         "username=demo|password=Nm1Passw0rd|password[]=BracketPw1|type=sale|"
         "ccnumber=4111111111111111|ccexp=1230|amount=5.00|cvv=123|checkaccount=123456789|"
         "checkaba=021000021|merchant_defined_field_1=Nm1Passw0rd",
         "1",
         {"  password[]=********\n", "password%5B%5D=********&", "  checkaccount=********\n",
          "  checkaba=********\n", "  cvv=********\n", "  merchant_defined_field_1=********\n",
          ",merchant_defined_field_1=********,"}},
        // One password the start of another.
        {"SECPAY",
         "merchant=secpay|password=Pw|remotepassword=Pw,rest9|amount=1.00|"
         "card_no=4444333322221111|expiry=1230|name=Ada Lovelace|cv2=123",
         "1",
         {"  password=********\n", "  remotepassword=********\n", "  cv2=********\n",
          "&remotepassword=********&"}},
        {"PAYPAL",
         "PWD[8]=s3cretPw|" + payflow + "|X-VPS-REQUEST-ID=e2e-secrets-1",
         kFailed,
         {"  PWD[8]=********\n", "**Error - Invalid parameter name\n",
          "  error=Invalid parameter name\n"}},
        {"PAYPAL",
         payflow + "|VERBOSITY=HIGH|X-VPS-REQUEST-ID=e2e-secrets-2",
         "1",
         {"  PWD=********\n", "  CVV2=********\n", "&CVV2[3]=********&"}},
        {"SAGE",
         "M_id=999999999991|M_key=Sg7MerchantKey|T_code=01|T_amt=1.00|C_name=Ada|"
         "C_cardnumber=4111111111111111|C_exp=1230|C_cvv=123",
         "1",
         {"  M_key=********\n", "  C_cvv=********\n", "  C_cardnumber=XXXXXXXXXXXX1111\n"}},
        {"RXPAY",
         "TRANS_TYPE=AUTH_CAPTURE|rx_merchant=m1|rx_password=Rx5Password|rx_amount=1.00|"
         "rx_cardnumber=4111111111111111|rx_expdate=1230",
         "1",
         {"  rx_password=********\n", "  rx_cardnumber=XXXXXXXXXXXX1111\n"}},
    };
    // A process log too, so that the scanner reads one beside every transaction log.
    CTempDir dir;
    const auto plugin = dir.Path() / PluginFileName();
    std::filesystem::copy_file(BinDir() / PluginFileName(), plugin);
    WriteFile(dir.Path() / "Quilla.log", "");
    const size_t scannedBefore = ScannedLogCount();
    for (size_t i = 0; i < std::size(cases); ++i) {
        const SCase& c = cases[i];
        const std::string logPath =
            (dir.Path() / ("transaction" + std::to_string(i) + ".log")).string();
        const SHostRun run = RunHost(
            TransactionScript(c.portal, "WIM_Log=" + logPath + "|" + c.parameters, {"error"}),
            {"--plugin", plugin.string()});
        EXPECT_EQ(run.Result(3), c.sent) << c.parameters << run.errors;
        const std::string log = ReadFile(logPath);
        for (const std::string& line : c.lines) {
            EXPECT_NE(log.find(LogLineEnds(line)), std::string::npos)
                << c.portal << ": " << line << "\nin\n"
                << log;
        }
    }
    EXPECT_EQ(ScannedLogCount(), scannedBefore + 2 * std::size(cases));
}

// The scanner itself: what it must find, and what it must let pass.
TEST(SecretsEndToEnd, ScannerFindsWhatItLooksFor) {
    NoteScript(TransactionScript("NMI",
                                 "password=Zk9ScanSelf1|cvv=987|x=1|"
                                 "memo=%B5424000000000015^DOE/JOHN^2907999?|"
                                 "note=5424000000000015=30121010000012345678",
                                 {}));
    const std::pair<std::string, size_t> cases[] = {
        {"card 4111111111111111\n", 1},
        {"card 4111 1111-1111 1111\r\n", 1},
        {"card 4111  1111\t1111.1111, 5424 - 0000 - 0000 - 0015\n", 2},
        {"url?c=4111%2B1111%2b1111%C2%A01111&d=%34%31%31%31%31%31%31%31%31%31%31%31%31%31%31%31\n",
         1},
        {"card XXXXXXXXXXXX1111, id 4111111111111112\n", 0},
        {"first\n4007000000027\n", 1},
        {"  password=********\n", 0},
        {"  all=a&note=Zk9ScanSelf1\n", 1},
        {"url?p=Zk9ScanSelf1\n", 1},
        {"  cvv=987\n", 1},
        {"  cvv[3]=987&x=1\n", 1},
        {"  order=987\n", 0},
        {"  xcvv=987\n", 0},
        {"  memo=********, by DOE/JOHN\n", 1},
        {"  note=XXXXXXXXXXXX0015=30121010000012345678\n", 1}};
    for (const auto& [text, findings] : cases) {
        EXPECT_EQ(LogLeaks(text).size(), findings) << text;
    }
}

}  // namespace
