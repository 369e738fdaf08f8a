// Published gateway answers, as other payment libraries' tests hold them, read by our rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "gateways/AuthorizeNet.h"
#include "gateways/NetworkMerchants.h"
#include "gateways/PayPal.h"
#include "gateways/RxPayments.h"
#include "gateways/SagePayments.h"
#include "gateways/SecPay.h"

namespace {

const std::filesystem::path kAnswers = PGV_GATEWAY_ANSWERS;
constexpr char kWholeAnswer[] = "(the whole answer)";

using SValue = std::pair<const char*, const char*>;  // field, value; null value: absent

// The normalised reading of an answer; the auth code and message are checked where given.
struct SNormalisedValues {
    const char* status;
    const char* transactionId;
    const char* authCode = nullptr;
    const char* message = nullptr;
};

struct SAnswer {
    const char* file;  // without ".body"
    SNormalisedValues pgv;
    // The folder's fields in order, null: absent; a row may stop before the last.
    std::vector<const char*> values;
    std::vector<SValue> more = {};
};

// A fresh gateway, set up by `params`, after it sent and got `answer`.
using AnsweredFunction = std::unique_ptr<CAuthBase> (*)(const char* params,
                                                        const std::string& answer);

struct SFolder {
    const char* name;
    const char* portal;
    const char* params;
    AnsweredFunction answered;
    std::vector<const char*> fields;
    std::vector<SAnswer> answers;
};

template <class TGateway>
std::unique_ptr<CAuthBase> Answered(const char* params, const std::string& answer) {
    auto gateway = std::make_unique<pgvtest::CRecordingGateway<TGateway>>();
    gateway->SetParameters(params);
    gateway->answer = answer;
    // A parser that gives up (Sage's, on a short answer) fails the transaction; what it read
    // stays.
    gateway->SendNow();
    return gateway;
}

std::string Lookup(CAuthBase& gateway, const char* name) {
    std::string value;
    gateway.GetResponseFieldValue(name, value);
    return value;
}

const SFolder kFolders[] = {
    // Our "|" encapsulation, none (right while no value holds a comma), and formats not ours:
    // "|" as the delimiter lands in the first field, "$" encapsulation stays on every value. Either
    // way the response code is none the gateway documents, so the answer reads as an error. A
    // transaction id of 0 names no transaction.
    {"authorize_net",
     "AUTHNET",
     "",
     Answered<CAuthAuthorizeNet>,
     {"x_response_code", "x_trans_id", "x_response_reason_code", "x_auth_code", "x_card_type"},
     {
         {"am2012_failed_void", {"error", "$0$"}, {"$3$", "$0$", "$16$", "$$", "$Visa$"}},
         {"am2012_successful_refund",
          {"error", "$508141797$"},
          {"$1$", "$508141797$", "$1$", "$$", "$Visa$"}},
         {"am2012_successful_void",
          {"error", "$508141796$"},
          {"$1$", "$508141796$", "$1$", "$xxx$", "$Visa$"}},
         {"am_already_actioned_capture", {"error", "$0$"}, {"$1$", "$0$", "$311$", "$$", "$$"}},
         {"am_bad_currency", {"error", "$$"}, {"$3$", "$$", "$39$", " not supported", "$$"}},
         {"am_failed_authorization",
          {"error", "$508141794$"},
          {"$2$", "$508141794$", "$1$", "$advE7f$", "$$"}},
         {"am_failed_refund", {"error", "$0$"}, {"$3$", "$0$", "$54$", "$$", "$$"}},
         {"am_failed_void", {"error", "$0$"}, {"$1$", "$0$", "$310$", "$$", "$Visa$"}},
         {"am_fraud_review", {"error", "$0$"}, {"$4$", "$0$", "$253$", "$$", "$$"}},
         {"am_successful_authorization",
          {"error", "$508141794$"},
          {"$1$", "$508141794$", "$1$", "$advE7f$", "$$"}},
         {"am_successful_purchase",
          {"error", "$508141795$"},
          {"$1$", "$508141795$", "$1$", "$d1GENk$", "$$"}},
         {"am_successful_void",
          {"error", "$2215573915$"},
          {"$1$", "$2215573915$", "$1$", "$O39YT0$", "$Visa$"}},
         {"cim_direct_auth_capture_v31",
          {"approved", "2163585627", "CSYM0K", "This transaction has been approved."},
          {"1", "2163585627", "1", "CSYM0K", "Visa"}},
         {"cim_direct_auth_only",
          {"approved", "508223659", "Gw4NGI", "This transaction has been approved."},
          {"1", "508223659", "1", "Gw4NGI", nullptr}},
         {"cim_direct_refund_declined_extra_fields",
          {"error", "", "",
           "The referenced transaction does not meet the criteria for issuing a credit."},
          {"3", "0", "54", nullptr, nullptr}},
         {"cim_direct_validate_comma_in_company",
          {"approved", "508276300", "DEsVh8", "This transaction has been approved."},
          {"1", "508276300", "1", "DEsVh8", nullptr},
          {{"x_ship_to_address", " Inc"}}},
         {"omnipay_aim_authorize_failure",
          {"error", "", "", "A valid amount is required."},
          {"3", "0", "5", nullptr, "Visa"}},
         {"omnipay_aim_authorize_success",
          {"approved", "2184493132", "GA4OQP", "This transaction has been approved."},
          {"1", "2184493132", "1", "GA4OQP", "Visa"}},
         {"omnipay_aim_capture_failure",
          {"error", "", "", "The transaction cannot be found."},
          {"3", "0", "16", nullptr, nullptr}},
         {"omnipay_aim_capture_success",
          {"approved", "2184494531", "F51OYG", "This transaction has been approved."},
          {"1", "2184494531", "1", "F51OYG", "Visa"}},
         {"omnipay_aim_purchase_failure",
          {"error", "", "", "A valid amount is required."},
          {"3", "0", "5", nullptr, "Visa"}},
         {"omnipay_aim_purchase_success",
          {"approved", "2184492509", "JE6JM1", "This transaction has been approved."},
          {"1", "2184492509", "1", "JE6JM1", "Visa"}},
         {"omnipay_aim_void_failure",
          {"error", "", "", "A valid referenced transaction ID is required."},
          {"3", "0", "33", nullptr, "Visa"}},
         // Already voided: nothing was voided now, so no approval.
         {"omnipay_aim_void_success",
          {"error", "", "", "This transaction has already been voided."},
          {"1", "0", "310", nullptr, "Visa"}},
         {"xml_direct_capture_over_amount",
          {"error", "", "",
           "The amount requested for settlement cannot be greater than the original amount "
           "authorized."},
          {"3", "0", "47", nullptr, "Visa"}},
         {"xml_direct_pipe_delimiter_commas_in_value",
          {"error", ""},
          {"1|1|1|This transaction has been approved.|8HUT72|Y|2235700270|1|description", nullptr}},
         {"xml_direct_pipe_delimiter_quote_encap", {"error", ""}, {kWholeAnswer, nullptr}},
         {"xml_direct_stored_card_invalid_number",
          {"error", "", "", "The credit card number is invalid."},
          {"3", "0", "6", nullptr, nullptr}},
         {"xml_direct_stored_card_purchase",
          {"approved", "2235700270", "8HUT72", "This transaction has been approved."},
          {"1", "2235700270", "1", "8HUT72", "Visa"}},
         {"xml_direct_void_already_voided",
          {"error", "", "", "This transaction has already been voided."},
          {"1", "0", "310", nullptr, "Visa"}},
     }},
    {"authorize_net_cp",
     "AUTHNET",
     "x_cpversion=1.0",
     Answered<CAuthAuthorizeNet>,
     {"x_version", "x_response_code", "x_response_reason_code", "x_auth_code", "x_trans_id"},
     {
         {"am_cp_failed_authorization",
          {"error", "$2470195494$"},
          {"$1.0$", "$2$", "$2$", "$000000$", "$2470195494$"}},
         {"am_cp_successful_authorization",
          {"error", "$508141794$"},
          {"$1.0$", "$1$", "$1$", "$000000$", "$508141794$"}},
         {"am_cp_successful_purchase_card_number_type",
          {"error", "$2194822223$"},
          {"$1.0$", "$1$", "$1$", "$X931M4$", "$2194822223$"}},
     }},
    {"nmi",
     "NMI",
     "",
     Answered<CAuthNMI>,
     {"response", "responsetext", "authcode", "transactionid", "response_code"},
     {
         {"am_nm_failed_capture_slash_double_space",
          {"error", "", "", "Invalid Transaction ID / Object ID specified:  REFID:342421573"},
          {"3", "Invalid Transaction ID / Object ID specified:  REFID:342421573", "", "", "300"}},
         {"am_nm_failed_login",
          {"error", "0", "", "Invalid Username"},
          {"3", "Invalid Username", "", "0", "300"}},
         {"am_nm_successful_purchase_merchant_fields",
          {"approved", "1869031575", "123456", "SUCCESS"},
          {"1", "SUCCESS", "123456", "1869031575", "100"}},
         {"am_nmi_failed_credit",
          {"error", ""},
          {"3", "Invalid Credit Card Number REFID:3162207528", "", "", "300"}},
         {"am_nmi_failed_purchase",
          {"declined", "2762766725", "", "DECLINE"},
          {"2", "DECLINE", "", "2762766725", "200"}},
         {"am_nmi_failed_refund_empty_transactionid",
          {"error", ""},
          {"3", "Invalid Transaction ID specified REFID:3161856100", "", "", "300"}},
         {"am_nmi_failed_void_refid",
          {"error", "2762816924"},
          {"3", "Only transactions pending settlement can be voided REFID:3161855545", "",
           "2762816924", "300"}},
         {"am_nmi_successful_3ds_guid_transactionid",
          {"approved", "97267598-FAE6-48F2-8083-C23433990FBC", "123456"},
          {"1", "SUCCESS", "123456", "97267598-FAE6-48F2-8083-C23433990FBC", "100"}},
         {"am_nmi_successful_purchase",
          {"approved", "2762757839", "123456", "SUCCESS"},
          {"1", "SUCCESS", "123456", "2762757839", "100"}},
         // A card stored in the vault: no money moved, and no transaction is named.
         {"am_nmi_successful_store_extra_field",
          {"error", "", "", "Customer Added"},
          {"1", "Customer Added", "", "", "100"}},
         {"am_nmi_transcript_sale",
          {"approved", "2767466670", "123456"},
          {"1", "SUCCESS", "123456", "2767466670", "100"}},
         {"omnipay_direct_post_capture_failure",
          {"error", "2577708057"},
          {"3", "A capture requires that the existing transaction be an AUTH REFID:143498124", "",
           "2577708057", "300"}},
         {"omnipay_direct_post_sale_failure",
          {"declined", "2577715978", "", "DECLINE"},
          {"2", "DECLINE", "", "2577715978", "200"}},
         {"omnipay_direct_post_sale_success",
          {"approved", "2577715564", "123456", "SUCCESS"},
          {"1", "SUCCESS", "123456", "2577715564", "100"}},
         {"omnipay_direct_post_void_failure",
          {"error", "2577708057"},
          {"3", "Only transactions pending settlement can be voided REFID:143498494", "",
           "2577708057", "300"}},
     }},
    {"payflow",
     "PAYPAL",
     "",
     Answered<CPayPal>,
     {"result", "pnref", "respmsg", "authcode"},
     {
         // Express checkout details, a recurring profile, a profile's history: no transaction of
         // this request is named, so none reads as an approval.
         {"am_nv_express_details",
          {"error", "", "", "Approved"},
          {"0", nullptr, "Approved", nullptr}},
         {"am_nv_express_invalid_token",
          {"error", "", "", "Field format error: Invalid Token"},
          {"7", nullptr, "Field format error: Invalid Token", nullptr}},
         {"am_nv_failed_authorization_balance",
          {"declined", "VXYZ01234567", "", "Declined"},
          {"12", "VXYZ01234567", "Declined", nullptr}},
         {"am_nv_fraud_review_length_tagged_xml",
          {"review", "V79A0D0CA828", "505PNI", "Under review by Fraud Service"},
          {"126", "V79A0D0CA828", "Under review by Fraud Service", "505PNI"},
          {{"postfpsmsg", "Review"}}},
         {"am_nv_recurring_add",
          {"error", "", "", "Approved"},
          {"0", nullptr, "Approved", "489PNI"}},
         {"am_nv_recurring_payment_history", {"error", ""}, {"0", nullptr, nullptr, nullptr}},
         {"am_nv_successful_authorization",
          {"approved", "VUJN1A6E11D9", "123456", "Approved"},
          {"0", "VUJN1A6E11D9", "Approved", "123456"}},
         {"am_nv_successful_duplicate",
          {"approved", "VUJN1A6E11D9", "123456", "Approved"},
          {"0", "VUJN1A6E11D9", "Approved", "123456"}},
         {"omnipay_create_card_success",
          {"approved", "A10AA633AB30", "", "Approved"},
          {"0", "A10AA633AB30", "Approved", nullptr}},
         {"omnipay_decode_fragment_tagged_amp_eq",
          {"error", ""},
          {nullptr, nullptr, nullptr, nullptr},
          {{"billtolastname", "&= Foo"}, {"test", "Hi"}}},
         {"omnipay_purchase_decline",
          {"declined", "A10AA63244D1", "", "Declined"},
          {"12", "A10AA63244D1", "Declined", nullptr}},
         {"omnipay_purchase_failure",
          {"error", "", "", "User authentication failed"},
          {"1", nullptr, "User authentication failed", nullptr}},
         {"omnipay_purchase_success",
          {"approved", "A10A6AE7042E", "331PNI", "Approved"},
          {"0", "A10A6AE7042E", "Approved", "331PNI"},
          {{"billtolastname", "& Foo"}}},
         {"paypal_doc_example",
          {"approved", "EFHP0D426A53", "25TEST", "APPROVED"},
          {"0", "EFHP0D426A53", "APPROVED", "25TEST"}},
     }},
    {"sage",
     "SAGE",
     "",
     Answered<CSage>,
     {"approval indicator", "code", "message", "reference", "order number"},
     {
         {"am_declined_purchase",
          {"declined", "A5O89kkix0", "", "DECLINED"},
          {"E", "000002", "DECLINED", "A5O89kkix0", "3443d6426188f8256b8f"}},
         {"am_failed_refund_invalid_reference",
          {"error", "G68FCVJd10", "", "INVALID T_REFERENCE"},
          {"X", "900022", "INVALID T_REFERENCE", "G68FCVJd10", "72bf690488cf72c81120"}},
         {"am_invalid_login_empty_order_number",
          {"error", "0000000000", "", "SECURITY VIOLATION"},
          {"X", "911911", "SECURITY VIOLATION", "0000000000", ""}},
         {"am_successful_authorization",
          {"approved", "1234567890", "911911", "APPROVED"},
          {"A", "911911", "APPROVED", "1234567890", "1000"}},
         {"am_successful_capture",
          {"approved", "B5O8AdFhu0", "000001", "APPROVED 000001"},
          {"A", "000001", "APPROVED 000001", "B5O8AdFhu0", "ID5O8AdFhw"}},
         {"am_successful_purchase",
          {"approved", "B5O89VPdf0", "000001", "APPROVED 000001"},
          {"A", "000001", "APPROVED 000001", "B5O89VPdf0", "e81cab9e6144a160da82"}},
         {"am_successful_refund_blank_code",
          {"approved", "G68FCU2c60", "", "APPROVED"},
          {"A", "      ", "APPROVED", "G68FCU2c60", "16119318c1edb9a27f70"}},
         {"am_transcript_purchase_2016_gunzipped",
          {"approved", "G6TGMxfWh0", "000001", "APPROVED 000001"},
          {"A", "000001", "APPROVED 000001", "G6TGMxfWh0", "1741a24e00a5a5f11653"}},
     }},
    // Most approvals published come from the gateway's test mode (test_status=true): nothing
    // was charged for them.
    {"secpay",
     "SECPAY",
     "",
     Answered<CAuthSecPay>,
     {"valid", "trans_id", "code", "auth_code", "message"},
     {
         {"omnipay_authorize_failure",
          {"error", "AUTHFAILURE01", "", "Preauth+Failed+:+See+code"},
          {"false", "AUTHFAILURE01", "P:E", nullptr, "Preauth+Failed+:+See+code"}},
         {"omnipay_authorize_success",
          {"test", "AUTHSUCCESS01", "", "TEST AUTH"},
          {"true", "AUTHSUCCESS01", "A", "9999", "TEST AUTH"}},
         {"omnipay_capture_failure",
          {"declined", "CAPTFAILURE01", "", "No {1} transaction found"},
          {"false", "CAPTFAILURE01", "N", nullptr, "No {1} transaction found"}},
         {"omnipay_capture_success",
          {"approved", "CAPTSUCCESS01", "9999", "Approved"},
          {"true", "CAPTSUCCESS01", "A", "9999", "Approved"}},
         {"omnipay_create_card_success",
          {"test", "CUSTCC01", "", "TEST AUTH"},
          {"true", "CUSTCC01", "A", "9999", "TEST AUTH"}},
         {"omnipay_purchase_success",
          {"test", "PURCHSUCCESS01", "", "TEST AUTH"},
          {"true", "PURCHSUCCESS01", "A", "9999", "TEST AUTH"}},
         {"omnipay_void_success",
          {"approved", "VOIDTRXN01", "", "Approved"},
          {"true", "VOIDTRXN01", "A", "", "Approved"}},
         {"perl_doc_approved",
          {"test", "tran0001", "", "TEST AUTH"},
          {"true", "tran0001", "A", "9999", "TEST AUTH"}},
         {"perl_doc_luhn_failed_no_question_mark",
          {"error", "tran0001", "", "Luhn Check Failed"},
          {"false", "tran0001", "P:C", nullptr, "Luhn Check Failed"}},
     }},
};

TEST(GatewayAnswers, EveryPublishedAnswerReadByOurRules) {
    for (const SFolder& folder : kFolders) {
        SCOPED_TRACE(folder.name);
        std::map<std::string, const SAnswer*> rows;
        for (const SAnswer& row : folder.answers) {
            rows[row.file] = &row;
        }
        size_t seen = 0;
        for (const auto& entry : std::filesystem::directory_iterator(kAnswers / folder.name)) {
            if (entry.path().extension() != ".body") {
                continue;
            }
            SCOPED_TRACE(entry.path().stem().string());
            const auto row = rows.find(entry.path().stem().string());
            if (row == rows.end()) {
                ADD_FAILURE() << "no table row for this answer";
                continue;
            }
            ++seen;
            const SAnswer& answer = *row->second;
            ASSERT_LE(answer.values.size(), folder.fields.size());
            const std::string body = pgvtest::ReadFile(entry.path().string());
            ASSERT_FALSE(body.empty());

            const std::unique_ptr<CAuthBase> gateway = folder.answered(folder.params, body);
            const StringMap& results = gateway->m_Results;
            EXPECT_EQ(results.count("pairs"), 1u);
            std::vector<SValue> expected = answer.more;
            for (size_t i = 0; i < answer.values.size(); ++i) {
                expected.emplace_back(folder.fields[i], answer.values[i]);
            }
            for (const auto& [field, value] : expected) {
                const auto found = results.find(field);
                EXPECT_EQ(found == results.end() ? "(absent)" : found->second,
                          !value                  ? "(absent)"
                          : value == kWholeAnswer ? body
                                                  : value)
                    << field;
            }

            const SNormalisedValues& pgv = answer.pgv;
            EXPECT_EQ(Lookup(*gateway, "pgv.status"), pgv.status);
            EXPECT_EQ(Lookup(*gateway, "pgv.approved"),
                      std::string(pgv.status) == "approved" ? "1" : "0");
            EXPECT_EQ(Lookup(*gateway, "pgv.transaction_id"), pgv.transactionId);
            if (pgv.authCode) {
                EXPECT_EQ(Lookup(*gateway, "pgv.auth_code"), pgv.authCode);
            }
            if (pgv.message) {
                EXPECT_EQ(Lookup(*gateway, "pgv.message"), pgv.message);
            }
            EXPECT_EQ(Lookup(*gateway, "pgv.gateway"), folder.portal);
        }
        EXPECT_EQ(seen, rows.size()) << "a table row without an answer file";
    }
}

// A Sage transaction record: STX, the fields at their offsets up to the reference, the order
// number and the recurring indicator between field separators, and ETX.
std::string SageRecord(char indicator, char cvv, char avs) {
    std::string message = "APPROVED";
    message.resize(32, ' ');
    return std::string("\002") + indicator + "000001" + message + "10" + cvv + avs +
           "00REF0123456\034ORDER-1\0340\034\003";
}

const AnsweredFunction kAuthNet = Answered<CAuthAuthorizeNet>;
const AnsweredFunction kNmi = Answered<CAuthNMI>;
const AnsweredFunction kSage = Answered<CSage>;
const AnsweredFunction kSecPay = Answered<CAuthSecPay>;
const AnsweredFunction kRxPay = Answered<CRxPay>;
const AnsweredFunction kPayflow = Answered<CPayPal>;

// None of these says whether the card was approved: each is an error, and the gateway's own
// fields stay readable.
TEST(GatewayAnswers, BadAnswersReadAsErrors) {
    const struct {
        AnsweredFunction answered;
        std::string answer;
        const char* field;  // one of the gateway's own
        const char* value;
    } cases[] = {
        // A code the gateway does not document.
        {kAuthNet, "|7|,|1|,|1|,|Odd|", "x_response_code", "7"},
        {kNmi, "response=9&transactionid=5", "response", "9"},
        {kSage, SageRecord('Q', 'M', 'Y'), "approval indicator", "Q"},
        {kSecPay, "?valid=true&code=Z", "code", "Z"},
        {kRxPay, "<response><code>E99</code></response>", "code", "E99"},
        {kPayflow, "RESULT=999&RESPMSG=Odd", "respmsg", "Odd"},
        // Wrapped values without the closing character: none is read.
        {kAuthNet, "|1|,|1|,|1|,|This transaction has been approved.", "x_response_code",
         "Error - no result obtained"},
        // Cut just after a value's opening character: that character is no closing one.
        {kAuthNet, "|1|,|1|,|1|,|Approved|,|AB12|,|Y|,|77|,|", "x_response_code",
         "Error - no result obtained"},
        // A value with wrapping of its own: padded, or one answer run into another.
        {kAuthNet, "|1|,|1|,|1|,|Approved|,|AB12|,|Y|,|77||", "x_response_code",
         "Error - no result obtained"},
        {kAuthNet, "|1|,|1|,|1|,|Approved|,|AB12|,|Y|,|77|,||,||,|10.00|\r\n|2|,|1|,|2|",
         "x_response_code", "Error - no result obtained"},
        // An empty answer; Sage's parser gives up on it, which fails the transaction.
        {kAuthNet, "", "all", ""},
        {kNmi, "", "all", ""},
        {kSage, "", "all", "Error - no result obtained"},
        {kSecPay, "", "message", "Approved"},
        {kRxPay, "", "success", "0"},
        {kPayflow, "", "all", ""},
        // The status field present but empty.
        {kAuthNet, "||,|1|,|1|,|Odd|", "x_response_reason_text", "Odd"},
        {kNmi, "response=&transactionid=5", "transactionid", "5"},
        {kSage, SageRecord(' ', 'M', 'Y'), "reference", "REF0123456"},
        {kSecPay, "?valid=true&code=&trans_id=T1", "valid", "true"},
        {kSecPay, "?valid=&code=A", "code", "A"},
        {kRxPay, "<success></success><transaction>RX1</transaction>", "transaction", "RX1"},
        {kPayflow, "RESULT=&PNREF=V1", "pnref", "V1"},
        // Two status fields, agreeing or not; the parsed fields keep the last.
        {kNmi, "response=1&RESPONSE=1", "response", "1"},
        {kNmi, "response=1&response[1]=2", "response", "1"},
        {kSecPay, "?valid=true&code=A&code=N", "code", "N"},
        {kSecPay, "?valid=true&code=A&valid=true", "valid", "true"},
        {kRxPay, "<success>true</success><success>true</success>", "success", "1"},
        {kRxPay, "<success>true</success><code>E12</code>", "success", "1"},
        {kPayflow, "RESULT=0&PNREF=V1&RESULT[2]=12", "result", "12"},
        // Two transaction ids: a caller's order id can carry the second one.
        {kNmi, "response=1&transactionid=5&orderid=x&transactionid=6", "transactionid", "6"},
        {kNmi, "response=1&transactionid=5&orderid=&[11]=;&transactionid=&", "transactionid", ""},
        // A second text hides the first's "Duplicate transaction": the first attempt may have
        // charged the card.
        {kNmi,
         "response=2&responsetext=Duplicate transaction REFID:1&transactionid=7&orderid=x&"
         "responsetext=DECLINE&response_code=200",
         "responsetext", "DECLINE"},
        {kSecPay, "?valid=true&trans_id=T1&code=A&TRANS_ID=T2", "trans_id", "T2"},
        {kPayflow, "RESULT=0&PNREF=V1&PNREF[2]=V2", "pnref", "V2"},
        // A length tag shorter than its value: where the next pair begins is anyone's guess.
        {kPayflow, "RESULT=12&RESPMSG[2]=abRESULT=0", "all", "RESULT=12&RESPMSG[2]=abRESULT=0"},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<CAuthBase> gateway = c.answered("", c.answer);
        EXPECT_EQ(Lookup(*gateway, "pgv.status"), "error") << c.answer;
        EXPECT_EQ(Lookup(*gateway, "pgv.approved"), "0") << c.answer;
        EXPECT_EQ(Lookup(*gateway, c.field), c.value) << c.answer;
    }
}

// What a gateway's table cannot say alone: two fields that must agree, elements read from the
// answer, a check result in two fields, an authorisation code sent with a decline.
TEST(GatewayAnswers, EachGatewaysOwnRules) {
    std::string settlement = "\002A000123BATCH OK";
    settlement.resize(40, ' ');
    settlement += "000004000000012.34SREF012345\034";
    const struct {
        AnsweredFunction answered;
        const char* params;
        std::string answer;
        std::vector<SValue> pgv;  // names without "pgv."
    } cases[] = {
        {kAuthNet,
         "",
         "|4|,|1|,|253|,|Held|,|AB12|,|Y|,|77|",
         {{"status", "review"}, {"auth_code", "AB12"}, {"transaction_id", "77"}}},
        // A line end in an echoed field makes no line of the gateway's.
        {kAuthNet,
         "",
         "|2|,|1|,|2|,|Declined|,||,|P|,|0|,||,|Order 5\n1,1,1,This transaction has been "
         "approved.|",
         {{"status", "declined"}, {"message", "Declined"}}},
        {kAuthNet,
         "",
         "|1|,|1|,|1|,|Approved|,|AB12|,|Y|,|77|,||,||,|1.00|,|CC|,|auth_capture|,||,|J|,|S|,||,"
         "|12 High St\nFlat 2|,|Leeds|",
         {{"status", "approved"}, {"transaction_id", "77"}}},
        {kAuthNet,
         "x_cpversion=1.0",
         "|1.0|,|2|,|2|,|Declined|,|000000|,|N|,|M|,|88|",
         {{"status", "declined"}, {"auth_code", ""}, {"avs", "N"}, {"cvv", "M"}}},
        {kNmi,
         "",
         "response=1&transactionid=5&avsresponse=Y&cvvresponse=M",
         {{"status", "approved"}, {"approved", "1"}, {"avs", "Y"}, {"cvv", "M"}}},
        {kSage,
         "",
         SageRecord('E', 'N', ' '),
         {{"status", "declined"}, {"auth_code", ""}, {"avs", ""}, {"cvv", "N"}}},
        {kSage,
         "trans_type=settlement",
         settlement,
         {{"status", "approved"}, {"transaction_id", "SREF012345"}, {"message", "BATCH OK"}}},
        {kSecPay,
         "",
         "?valid=false&code=N&trans_id=T1",
         {{"status", "declined"}, {"transaction_id", "T1"}}},
        {kSecPay, "", "?valid=false&code=F", {{"status", "declined"}}},
        {kSecPay,
         "",
         "?valid=false&code=A&auth_code=9999",
         {{"status", "error"}, {"auth_code", ""}}},
        {kSecPay, "", "?valid=true&code=N", {{"status", "error"}}},
        {kSecPay, "", "?valid=TRUE&code=A", {{"status", "error"}}},
        {kSecPay,
         "",
         "?valid=true&trans_id=T1&code=A&cv2avs=ADDRESS MATCH ONLY",
         {{"status", "approved"},
          {"avs", "ADDRESS MATCH ONLY"},
          {"cvv", "ADDRESS MATCH ONLY"},
          {"message", "Approved"}}},
        {kRxPay,
         "",
         "<success>true</success><transaction>RX1</transaction><confirmation>C1</confirmation>",
         {{"status", "approved"}, {"transaction_id", "RX1"}, {"auth_code", "C1"}, {"message", ""}}},
        {kRxPay, "", "<success>false</success>", {{"status", "error"}}},
        {kRxPay,
         "",
         "<code>E12</code><errormessage>Card declined</errormessage>",
         {{"status", "declined"}, {"message", "Card declined"}}},
        {kRxPay,
         "",
         "<code>E05</code><errormessage>Invalid card number</errormessage>",
         {{"status", "error"}, {"message", "Invalid card number"}}},
        {kPayflow,
         "",
         "RESULT=127&PNREF=V1&AUTHCODE=1PNI",
         {{"status", "review"}, {"auth_code", "1PNI"}}},
        {kPayflow, "", "RESULT=13&RESPMSG=Referral", {{"status", "declined"}}},
        {kPayflow, "", "RESULT=-1&RESPMSG=Failed to connect to host", {{"status", "error"}}},
        {kPayflow,
         "",
         "RESULT=0&PNREF=V1&AVSADDR=Y&AVSZIP=N&CVV2MATCH=X",
         {{"status", "approved"}, {"avs", "YN"}, {"cvv", "X"}}},
        {kPayflow, "", "RESULT=0&AVSZIP=N", {{"avs", "N"}, {"cvv", ""}}},
        {kPayflow, "", "RESULT[1]=0&PNREF=V1&COMMENT1[7]=RESULT=", {{"status", "approved"}}},
        {kPayflow, "", "RESULT=0&PNREF=V1&COMMENT1[10]=&RESULT=12", {{"status", "approved"}}},
        // Approved for part of the amount: a prepaid card's balance.
        {kAuthNet,
         "",
         "|4|,|1|,|295|,|Partially approved|,|AB12|,|Y|,|77|,||,||,|5.00|",
         {{"status", "partial"}, {"approved", "0"}, {"auth_code", "AB12"}, {"amount", "5.00"}}},
        {kNmi,
         "",
         "response=1&transactionid=5&amount_authorized=5.00&partial_payment_balance=5.00",
         {{"status", "partial"}, {"approved", "0"}, {"amount", "5.00"}}},
        {kNmi,
         "",
         "response=1&transactionid=5&amount_authorized=10.00&partial_payment_balance=0.00",
         {{"status", "approved"}, {"amount", "10.00"}}},
        {kPayflow,
         "",
         "RESULT=0&PNREF=V1&RESPMSG=Partial Approval&AMT=5.00&ORIGAMT=10.00",
         {{"status", "partial"}, {"approved", "0"}, {"amount", "5.00"}}},
        // An error that holds money: a failed settlement. Repeats are in the table of their own.
        {kAuthNet,
         "",
         "|3|,|1|,|36|,|The authorization was approved, but settlement failed.|,|AB12|,|P|,|78|",
         {{"status", "error"}, {"auth_code", "AB12"}, {"duplicate", "0"}}},
        // A reversal that found nothing to reverse comes with response code 1.
        {kAuthNet,
         "",
         "|1|,|1|,|308|,|Original transaction for reversal not found.|",
         {{"status", "error"}}},
        {kAuthNet,
         "",
         "|1|,|1|,|310|,|This transaction has already been voided.|",
         {{"status", "error"}}},
        {kSecPay, "", "", {{"status", "error"}, {"message", ""}}},
        {kSecPay, "", "?valid=false&code=N", {{"status", "declined"}, {"message", ""}}},
        {kPayflow, "", "RESULT=50&RESPMSG=Insufficient funds available", {{"status", "declined"}}},
        // The amount is the amount approved: none for a decline, a hold or an error. An approval
        // for less than the amount asked is a partial one, whichever field says so.
        {kAuthNet,
         "x_amount=10.00",
         "|2|,|1|,|2|,|This transaction has been declined.|,||,|Y|,|77|,||,||,|10.00|",
         {{"status", "declined"}, {"amount", ""}}},
        {kAuthNet,
         "x_amount=10.00",
         "|4|,|1|,|252|,|Your order has been received.|,||,|Y|,|77|,||,||,|10.00|",
         {{"status", "review"}, {"amount", ""}}},
        {kAuthNet,
         "x_amount=10",
         "|1|,|1|,|1|,|Approved|,|AB12|,|Y|,|77|,||,||,|10.00|",
         {{"status", "approved"}, {"amount", "10.00"}}},
        {kAuthNet,
         "x_amount=10.00",
         "|1|,|1|,|1|,|Approved|,|AB12|,|Y|,|77|,||,||,|9.99|",
         {{"status", "partial"}, {"amount", "9.99"}}},
        {kAuthNet,
         "x_cpversion=1.0|x_amount=10.00",
         "|1.0|,|4|,|295|,|Partially approved|,|AB12|,|Y|,||,|88|,||,||,||,||,||,||,||,||,||,||,"
         "||,||,|XXXX1111|,|Visa|,|S1|,|10.00|,|4.00|,|0.00|",
         {{"status", "partial"}, {"amount", "4.00"}, {"transaction_id", "88"}}},
        {kNmi,
         "amount=10.00",
         "response=1&transactionid=5&amount_authorized=5.00",
         {{"status", "partial"}, {"amount", "5.00"}}},
        {kNmi,
         "amount=10.00",
         "response=2&transactionid=5&amount_authorized=10.00",
         {{"status", "declined"}, {"amount", ""}}},
        {kNmi,
         "amount=5.00",
         "response=1&transactionid=5&amount_authorized=5.00&partial_payment_balance=5.00&"
         "partial_payment_balance=0.00",
         {{"status", "error"}, {"amount", ""}}},
        {kNmi,
         "amount=10.00",
         "response=1&transactionid=5&amount_authorized=5.00&orderid=x&amount_authorized=10.00",
         {{"status", "error"}}},
        {kPayflow,
         "AMT=10.00|PARTIALAUTH=Y",
         "RESULT=0&PNREF=V1&RESPMSG=Partial Approval&AMT=5.00",
         {{"status", "partial"}, {"amount", "5.00"}}},
        {kPayflow,
         "AMT=10.00",
         "RESULT=0&PNREF=V1&RESPMSG=Approved&AMT=10.0",
         {{"status", "approved"}, {"amount", "10.0"}}},
        {kPayflow,
         "AMT=10.00",
         "RESULT=12&PNREF=V1&RESPMSG=Declined&AMT=10.00",
         {{"status", "declined"}, {"amount", ""}}},
        {kSecPay,
         "amount=50.00",
         "?valid=true&trans_id=T1&code=A&auth_code=9999&amount=25.00",
         {{"status", "partial"}, {"amount", "25.00"}}},
        // A record cut on its way, inside its reference or short of its end, is none: a cut
        // reference would name another transaction to a void or refund.
        {kSage,
         "",
         SageRecord('A', 'M', 'Y'),
         {{"status", "approved"}, {"transaction_id", "REF0123456"}}},
        {kSage, "", SageRecord('A', 'M', 'Y') + "\r\n", {{"status", "approved"}}},
        {kSage,
         "",
         SageRecord('A', 'M', 'Y').substr(0, 50),
         {{"status", "error"}, {"transaction_id", ""}}},
        {kSage,
         "",
         SageRecord('A', 'M', 'Y').substr(0, 56),
         {{"status", "error"}, {"transaction_id", ""}}},
        {kSage,
         "",
         SageRecord('A', 'M', 'Y').substr(0, 65),
         {{"status", "error"}, {"transaction_id", ""}}},
        {kSage, "", SageRecord('A', 'M', 'Y') + "x", {{"status", "error"}}},
        {kSage,
         "trans_type=settlement",
         settlement.substr(0, 60),
         {{"status", "error"}, {"transaction_id", ""}}},
        // A line end after the last pair belongs to no value; a byte-order mark to no field.
        {kPayflow,
         "",
         "RESULT=0&PNREF=V1&AUTHCODE=123456\r\n",
         {{"status", "approved"}, {"auth_code", "123456"}}},
        {kPayflow, "", "RESULT=0&PNREF=V1\r\n", {{"transaction_id", "V1"}}},
        // A transaction id with a control byte runs into padding or a second answer.
        {kPayflow, "", "RESULT=0&PNREF=V1\r\n\r\nRESULT=12", {{"status", "error"}}},
        {kPayflow, "", "RESULT=0&PNREF=V1\t", {{"status", "error"}}},
        // SecPay's id is the caller's own, echoed as it came.
        {kSecPay,
         "",
         "?valid=true&trans_id=T1\x02&code=A",
         {{"status", "approved"}, {"transaction_id", "T1\x02"}}},
        {kAuthNet,
         "",
         "\xEF\xBB\xBF|1|,|1|,|1|,|Approved|,|AB12|,|Y|,|77|",
         {{"status", "approved"}, {"transaction_id", "77"}, {"auth_code", "AB12"}}},
        {kNmi,
         "",
         "\xEF\xBB\xBFresponse=1&transactionid=5",
         {{"status", "approved"}, {"transaction_id", "5"}}},
        // A request id used again: the same request resent is answered rightly; a new one under
        // the old id was never processed, nor one under an id this process never sent. In order.
        {kPayflow,
         "X-VPS-REQUEST-ID=order-41|AMT=10.00",
         "RESULT=0&PNREF=V41",
         {{"status", "approved"}, {"duplicate", "0"}}},
        {kPayflow,
         "X-VPS-REQUEST-ID=order-41|AMT=10.00",
         "RESULT=0&PNREF=V41&DUPLICATE=1",
         {{"status", "approved"}, {"duplicate", "1"}}},
        {kPayflow,
         "X-VPS-REQUEST-ID=order-41|AMT=99.00",
         "RESULT=0&PNREF=V41&DUPLICATE=1",
         {{"status", "error"},
          {"approved", "0"},
          {"duplicate", "1"},
          {"message",
           "The answer belongs to an earlier transaction sent under the same request id "
           "(X-VPS-REQUEST-ID): this one was not processed"}}},
        {kPayflow,
         "X-VPS-REQUEST-ID=never-sent|AMT=10.00",
         "RESULT=0&PNREF=V7&DUPLICATE=1",
         {{"status", "error"}}},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<CAuthBase> gateway = c.answered(c.params, c.answer);
        for (const auto& [name, value] : c.pgv) {
            EXPECT_EQ(Lookup(*gateway, (std::string("pgv.") + name).c_str()), value)
                << name << " of \"" << c.answer << '"';
        }
    }
}

// A refusal of a request as a repeat of an earlier one: the earlier may have charged the card, so
// none is a decline (another card would be charged too) and none an approval (the earlier answer
// is not this request's). The gateway's own repeat keeps the original's authorisation code.
TEST(GatewayAnswers, DuplicateRefusalsAcrossTheGateways) {
    const struct {
        AnsweredFunction answered;
        const char* params;
        std::string answer;
        std::vector<SValue> pgv;  // names without "pgv.", besides the status and the flag
    } cases[] = {
        {kAuthNet,
         "",
         "|3|,|1|,|11|,|A duplicate transaction has been submitted.|,|AB12|,|P|,|0|",
         {{"auth_code", "AB12"}, {"transaction_id", ""}}},
        {kAuthNet,
         "",
         "|2|,|1|,|318|,|A duplicate transaction has been submitted.|,||,|P|,|0|",
         {{"message", "A duplicate transaction has been submitted."}}},
        {kAuthNet,
         "",
         "|2|,|1|,|222|,|This transaction has been declined|,|000000|,|P|,|0|",
         {{"auth_code", ""}}},
        {kAuthNet,
         "x_cpversion=1.0",
         "|1.0|,|2|,|318|,|A duplicate transaction has been submitted.|,||,|P|,||,|0|",
         {}},
        {kNmi,
         "",
         "response=3&responsetext=Duplicate transaction REFID:3164215428&authcode=&"
         "transactionid=&response_code=300",
         {{"message", "Duplicate transaction REFID:3164215428"}}},
        {kNmi,
         "",
         "response=3&responsetext=Duplicate transaction at processor&transactionid=&"
         "response_code=430",
         {}},
        {kNmi, "", "response=2&responsetext=DECLINE&transactionid=6&response_code=430", {}},
        {kNmi,
         "",
         "response=2&responsetext=Duplicate transaction REFID:1&transactionid=7&response_code=200",
         {{"transaction_id", "7"}}},
        {kSecPay,
         "",
         "?valid=false&trans_id=T1&code=P:P&message=Same payment presented twice",
         {{"transaction_id", "T1"}}},
        {kPayflow,
         "X-VPS-REQUEST-ID=order-77-b|ORDERID=order-77|AMT=10.00",
         "RESULT=0&PNREF=V77&RESPMSG=Approved&AUTHCODE=111PNI&DUPLICATE=2",
         {{"transaction_id", "V77"},
          {"message",
           "The gateway took this request for a repeat of an earlier transaction: look that one "
           "up before charging again"}}},
        {kPayflow, "X-VPS-REQUEST-ID=order-78", "RESULT=12&PNREF=V78&DUPLICATE=-1", {}},
        {kPayflow,
         "X-VPS-REQUEST-ID=order-79",
         "RESULT=0&PNREF=V79&DUPLICATE=1&DUPLICATE[1]=0",
         {}},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<CAuthBase> gateway = c.answered(c.params, c.answer);
        EXPECT_EQ(Lookup(*gateway, "pgv.status"), "error") << c.answer;
        EXPECT_EQ(Lookup(*gateway, "pgv.duplicate"), "1") << c.answer;
        EXPECT_EQ(Lookup(*gateway, "pgv.amount"), "") << c.answer;
        for (const auto& [name, value] : c.pgv) {
            EXPECT_EQ(Lookup(*gateway, (std::string("pgv.") + name).c_str()), value)
                << name << " of \"" << c.answer << '"';
        }
    }
}

// A gateway's test mode moves no money: an answer it marks as a test is no approval, whatever it
// would have said for real. Where nothing in the answer marks it (NMI's test mode, the test hosts
// test_account picks), the answer reads as a live one.
TEST(GatewayAnswers, TestModeAnswers) {
    const struct {
        AnsweredFunction answered;
        const char* params;
        std::string answer;
        const char* status;
        const char* test;
        std::vector<SValue> pgv;  // names without "pgv."
    } cases[] = {
        {kAuthNet,
         "x_amount=10.00",
         "|1|,|1|,|1|,|(TESTMODE) This transaction has been approved.|,|000000|,|P|,|0|,||,||,"
         "|10.00|",
         "test",
         "1",
         {{"transaction_id", ""}, {"auth_code", ""}, {"amount", ""}, {"approved", "0"}}},
        {kAuthNet,
         "",
         "|2|,|1|,|2|,|(TESTMODE) This transaction has been declined.|,|000000|,|P|,|0|",
         "declined",
         "1",
         {}},
        {kAuthNet,
         "",
         "|3|,|1|,|13|,|(Testmode) This transaction cannot be accepted.|,||,|P|,|0|",
         "error",
         "1",
         {}},
        {kAuthNet,
         "x_cpversion=1.0",
         "|1.0|,|1|,|1|,|(TESTMODE) This transaction has been approved.|,|000000|,|P|,||,|0|",
         "test",
         "1",
         {{"transaction_id", ""}}},
        {kAuthNet,
         "",
         "|4|,|1|,|253|,|(TESTMODE) Your order has been received.|,|AB12|,|P|,|0|",
         "test",
         "1",
         {}},
        // Transaction id 0 names no transaction, marked as a test or not.
        {kAuthNet,
         "",
         "|1|,|1|,|1|,|This transaction has been approved.|,|000000|,|P|,|0|",
         "error",
         "0",
         {{"transaction_id", ""}}},
        {kAuthNet,
         "",
         "|1|,|1|,|311|,|This transaction has already been captured.|,||,|P|,|0|",
         "error",
         "0",
         {{"transaction_id", ""}}},
        {kAuthNet,
         "",
         "|1|,|1|,|1|,|Approved|,|AB12|,|P|,|000|",
         "error",
         "0",
         {{"transaction_id", ""}}},
        {kSecPay,
         "",
         "?valid=true&trans_id=T1&code=A&auth_code=9999&message=TEST AUTH&test_status=true",
         "test",
         "1",
         {{"transaction_id", "T1"}, {"auth_code", ""}, {"message", "TEST AUTH"}}},
        {kSecPay,
         "",
         "?valid=false&trans_id=T1&code=N&message=TEST DECLINE&test_status=false",
         "declined",
         "1",
         {}},
        {kSecPay,
         "",
         "?valid=true&trans_id=T1&code=A&test_status=true",
         "test",
         "1",
         {{"message", ""}}},
        {kSecPay, "", "?valid=true&trans_id=T1&code=A&test_status=live", "approved", "0", {}},
        {kSecPay, "", "?valid=true&trans_id=T1&code=A&auth_code=9999", "approved", "0", {}},
        {kSecPay,
         "",
         "?valid=true&trans_id=T1&code=A&test_status=true&test_status=live",
         "error",
         "1",
         {}},
        {kNmi, "", "response=1&transactionid=5&authcode=123456", "approved", "0", {}},
        {kPayflow, "test_account=1", "RESULT=0&PNREF=A1&AUTHCODE=010PNI", "approved", "0", {}},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<CAuthBase> gateway = c.answered(c.params, c.answer);
        EXPECT_EQ(Lookup(*gateway, "pgv.status"), c.status) << c.answer;
        EXPECT_EQ(Lookup(*gateway, "pgv.test"), c.test) << c.answer;
        for (const auto& [name, value] : c.pgv) {
            EXPECT_EQ(Lookup(*gateway, (std::string("pgv.") + name).c_str()), value)
                << name << " of \"" << c.answer << '"';
        }
    }
}

}  // namespace
