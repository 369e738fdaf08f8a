// A card authorised through the plug-in as FileMaker would drive it, against the sandbox.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Support.h"

namespace {

const std::string kMerchant = "x_login=demo1234|x_tran_key=7xKey9000|x_version=3.1";

TEST(AuthorizeNetEndToEnd, ApprovalAsSentAndAsRead) {
    const size_t before = ReceivedRequests().size();
    const SHostRun run = RunHost(TransactionScript(
        "AUTHNET",
        kMerchant + "|x_type=AUTH_CAPTURE|x_amount=1.00|x_card_num=4111111111111111|"
                    "x_exp_date=1230|x_company=Widgets, Inc|x_first_name=J\xC3\xA9r\xC3\xB4me",
        {"x_response_code", "X_Auth_Code", "x_trans_id", "x_company", "x_first_name",
         "x_response_reason_text", "x_account_number", "x_card_type", "pgv.status",
         "pgv.transaction_id"}));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(Json(run.lines.front()), Json(R"({"startup":51})"));
    EXPECT_EQ(run.Call(3),
              Json(R"({"call":"PGV_SendTransaction","args":[],"error":0,"result":"1"})"));
    EXPECT_EQ(run.Result(kFirstResult), "1");
    EXPECT_THAT(*run.Result(kFirstResult + 1), ::testing::MatchesRegex("[A-Z0-9]{6}"));
    EXPECT_THAT(*run.Result(kFirstResult + 2), ::testing::MatchesRegex("[0-9]{10}"));
    EXPECT_EQ(run.Result(kFirstResult + 3), "Widgets, Inc") << "the comma shifted nothing";
    EXPECT_EQ(run.Result(kFirstResult + 4), "J\xC3\xA9r\xC3\xB4me");
    EXPECT_EQ(run.Result(kFirstResult + 5), "This transaction has been approved.");
    EXPECT_EQ(run.Result(kFirstResult + 6), "XXXX1111");
    EXPECT_EQ(run.Result(kFirstResult + 7), "Visa");
    EXPECT_EQ(run.Result(kFirstResult + 8), "approved");
    EXPECT_EQ(run.Result(kFirstResult + 9), run.Result(kFirstResult + 2));
    EXPECT_EQ(Json(run.lines.back()), Json(R"({"shutdown":true})"));

    // The host hands the plug-in its native bytes: the ANSI code page's on Windows (1252 here),
    // UTF-8 on Linux.
    const std::string firstName = OnWindows() ? "J%E9r%F4me" : "J%C3%A9r%C3%B4me";
    const std::vector<SReceivedRequest> requests = RequestsSince(before);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine,
              "GET /gateway/transact.dll?x_amount=1.00&x_card_num=4111111111111111&"
              "x_company=Widgets%2C%20Inc&x_delim_char=%2C&x_delim_data=True&x_encap_char=%7C&"
              "x_exp_date=1230&x_first_name=" +
                  firstName +
                  "&x_login=demo1234&"
                  "x_relay_response=False&x_tran_key=7xKey9000&x_type=AUTH_CAPTURE&x_version=3.1 " +
                  HttpVersion());
    EXPECT_EQ(requests[0].headers, ExpectedHeaders("secure.authorize.net"));
    EXPECT_EQ(requests[0].body, "");
}

TEST(AuthorizeNetEndToEnd, DeclinesAndErrorsAreAnswersNotFailures) {
    struct SCase {
        const char* card;
        const char* amount;
        const char* extra;
        const char* code;
        const char* reasonCode;
        const char* status;
    };
    const SCase cases[] = {
        {"4222222222222", "2.00", "", "2", "2", "declined"},
        {"4111111111111111", "5.00", "|x_zip=46282", "2", "2", "declined"},
        // The gateway echoes the description, line end and all.
        {"4222222222222", "2.00",
         "|x_description=Order 5\n1,1,1,This transaction has been approved.", "2", "2", "declined"},
        {"4111111111111112", "5.00", "", "3", "6", "error"},
        {"4111111111111111", "0", "", "3", "5", "error"},
    };
    for (const SCase& c : cases) {
        const SHostRun run =
            RunHost(TransactionScript("AUTHNET",
                                      kMerchant + "|x_amount=" + c.amount +
                                          "|x_card_num=" + c.card + "|x_exp_date=12/30" + c.extra,
                                      {"x_response_code", "x_response_reason_code", "x_auth_code",
                                       "x_trans_id", "pgv.status", "pgv.transaction_id"}));
        EXPECT_EQ(run.Result(3), "1") << c.card;
        EXPECT_EQ(run.Result(kFirstResult), c.code) << c.card;
        EXPECT_EQ(run.Result(kFirstResult + 1), c.reasonCode) << c.card;
        EXPECT_EQ(run.Result(kFirstResult + 2), "Error - no result obtained") << c.card;
        EXPECT_EQ(run.Result(kFirstResult + 4), c.status) << c.card;
        // A refusal's transaction id is 0, which names no transaction.
        const std::string id = run.Result(kFirstResult + 3).value_or("");
        EXPECT_EQ(run.Result(kFirstResult + 5), id == "0" ? "" : id) << c.card;
    }
}

TEST(AuthorizeNetEndToEnd, EachEndpointIsReached) {
    struct SCase {
        const char* portal;
        std::string parameters;
        const char* host;
        const char* firstField;
    };
    const std::string card = "|x_amount=3.00|x_card_num=4007000000027|x_exp_date=1230";
    const std::string cardPresent = "|x_cpversion=1.0|x_market_type=2|x_device_type=4";
    const SCase cases[] = {
        {"AUTHNET", kMerchant + card, "secure.authorize.net", "x_response_code"},
        {"AUTHNET", kMerchant + card + "|test_account=1", "secure.authorize.net",
         "x_response_code"},
        {"AUTHNET", kMerchant + card + cardPresent, "cardpresent.authorize.net", "x_version"},
        {"AUTHNET", kMerchant + card + cardPresent + "|test_account=", "test.authorize.net",
         "x_version"},
        {"no such portal", kMerchant + card, "secure.authorize.net", "x_response_code"},
    };
    for (const SCase& c : cases) {
        const size_t before = ReceivedRequests().size();
        const SHostRun run =
            RunHost(TransactionScript(c.portal, c.parameters,
                                      {c.firstField, "x_response_code", "x_trans_id", "pgv.status",
                                       "pgv.transaction_id", "pgv.gateway"}));
        const std::vector<SReceivedRequest> requests = RequestsSince(before);
        ASSERT_EQ(requests.size(), 1u) << c.host;
        EXPECT_THAT(requests[0].headers, ::testing::Contains(std::string("Host: ") + c.host));
        EXPECT_EQ(requests[0].requestLine.find("test_account"), std::string::npos);
        EXPECT_EQ(run.Result(kFirstResult + 1), "1") << c.host << ": " << *run.Result(kFirstResult);
        EXPECT_EQ(run.Result(kFirstResult + 3), "approved") << c.host;
        EXPECT_EQ(run.Result(kFirstResult + 4), run.Result(kFirstResult + 2)) << c.host;
        EXPECT_EQ(run.Result(kFirstResult + 5), "AUTHNET") << c.portal;
    }
}

TEST(AuthorizeNetEndToEnd, CardPresentAnswerUsesItsOwnLayout) {
    const SHostRun run = RunHost(TransactionScript(
        "AUTHNET",
        kMerchant + "|x_cpversion=1.0|x_market_type=2|x_device_type=4|x_amount=9.99|"
                    "x_card_num=5424000000000015|x_exp_date=1230|x_user_ref=till 4",
        {"x_version", "x_response_code", "x_trans_id", "x_user_reference", "x_avs_code",
         "pgv.status", "pgv.transaction_id", "x_account_number", "x_card_type", "pgv.amount"}));
    EXPECT_EQ(run.Result(kFirstResult), "1.0");
    EXPECT_EQ(run.Result(kFirstResult + 1), "1");
    EXPECT_THAT(*run.Result(kFirstResult + 2), ::testing::MatchesRegex("[0-9]{10}"));
    EXPECT_EQ(run.Result(kFirstResult + 3), "till 4");
    EXPECT_EQ(run.Result(kFirstResult + 5), "approved");
    EXPECT_EQ(run.Result(kFirstResult + 6), run.Result(kFirstResult + 2));
    EXPECT_EQ(run.Result(kFirstResult + 7), "XXXX0015");
    EXPECT_EQ(run.Result(kFirstResult + 8), "MasterCard");
    EXPECT_EQ(run.Result(kFirstResult + 9), "9.99") << "the amount approved, at position 25";
}

// The gateway's test mode charges nothing and names no transaction: never an approval.
TEST(AuthorizeNetEndToEnd, TestModeIsNoCharge) {
    const SHostRun run = RunHost(
        TransactionScript("AUTHNET",
                          kMerchant + "|x_amount=4.00|x_card_num=4111111111111111|x_exp_date=1230|"
                                      "x_test_request=TRUE",
                          {"x_response_reason_text", "x_trans_id", "pgv.status", "pgv.approved",
                           "pgv.test", "pgv.transaction_id", "pgv.amount"}));
    EXPECT_EQ(run.Result(kFirstResult), "(TESTMODE) This transaction has been approved.");
    EXPECT_EQ(run.Result(kFirstResult + 1), "0");
    EXPECT_EQ(run.Result(kFirstResult + 2), "test");
    EXPECT_EQ(run.Result(kFirstResult + 3), "0");
    EXPECT_EQ(run.Result(kFirstResult + 4), "1");
    EXPECT_EQ(run.Result(kFirstResult + 5), "");
    EXPECT_EQ(run.Result(kFirstResult + 6), "");
}

TEST(AuthorizeNetEndToEnd, TransactionLogHoldsNoCardData) {
    CTempDir dir;
    const std::string logPath = (dir.Path() / "transaction.log").string();
    const SHostRun run = RunHost(TransactionScript(
        "AUTHNET",
        "WIM_Log=" + logPath + "|" + kMerchant +
            "|x_amount=1.00|x_card_num=4111111111111111|x_exp_date=1230|x_card_code=123",
        {"x_response_code", "x_trans_id", "x_auth_code"}));
    ASSERT_EQ(run.Result(kFirstResult), "1");
    const std::string transId = *run.Result(kFirstResult + 1);
    const std::string authCode = *run.Result(kFirstResult + 2);
    const std::string request =
        "x_amount=1.00&x_card_code=********&x_card_num=XXXXXXXXXXXX1111&x_delim_char=%2C&"
        "x_delim_data=True&x_encap_char=%7C&x_exp_date=1230&x_login=demo1234&"
        "x_relay_response=False&x_tran_key=********&x_version=3.1";
    const std::string log = ReadFile(logPath);
    const std::string expectedHead = LogLineEnds(
        "\n"
        "--Parameters\n"
        "  x_amount=1.00\n"
        "  x_card_code=********\n"
        "  x_card_num=XXXXXXXXXXXX1111\n"
        "  x_delim_char=,\n"
        "  x_delim_data=True\n"
        "  x_encap_char=|\n"
        "  x_exp_date=1230\n"
        "  x_login=demo1234\n"
        "  x_relay_response=False\n"
        "  x_tran_key=********\n"
        "  x_version=3.1\n"
        "   URL - " +
        request +
        "\n"
        "\n" +
        OpeningLog("https://secure.authorize.net/gateway/transact.dll?" + request) +
        "  Opened - Got HTTP code 200\n");
    EXPECT_EQ(log.substr(0, expectedHead.size()), expectedHead);
    EXPECT_THAT(log, ::testing::ContainsRegex(
                         LogLineEnds("\n  Response size = [0-9]+\n  Read response\n"
                                     "Closed connection\n\n--Results\n  all=\\|1\\|,")));
    EXPECT_NE(log.find(LogLineEnds("\n  x_trans_id=" + transId + "\n")), std::string::npos);
    EXPECT_NE(log.find(LogLineEnds("\n  x_auth_code=" + authCode + "\n")), std::string::npos);
    const std::string normalised = LogLineEnds(
        "\n--Normalised results\n"
        "  pgv.amount=1.00\n"
        "  pgv.approved=1\n"
        "  pgv.auth_code=" +
        authCode +
        "\n"
        "  pgv.avs=Y\n"
        "  pgv.cvv=M\n"
        "  pgv.duplicate=0\n"
        "  pgv.gateway=AUTHNET\n"
        "  pgv.message=This transaction has been approved.\n"
        "  pgv.status=approved\n"
        "  pgv.test=0\n"
        "  pgv.transaction_id=" +
        transId + "\n");
    ASSERT_GE(log.size(), normalised.size());
    EXPECT_EQ(log.substr(log.size() - normalised.size()), normalised) << "the log's last block";
    EXPECT_EQ(log.find("4111"), std::string::npos);
    EXPECT_EQ(log.find("7xKey9000"), std::string::npos);
}

}  // namespace
