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
#include "gateways/SagePayments.h"
#include "gateways/SecPay.h"

namespace {

const std::filesystem::path kAnswers = PGV_GATEWAY_ANSWERS;
constexpr char kWholeAnswer[] = "(the whole answer)";

using SValue = std::pair<const char*, const char*>;  // field, value; null value: absent

struct SAnswer {
    const char* file;  // without ".body"
    // The folder's fields in order, null: absent; a row may stop before the last.
    std::vector<const char*> values;
    std::vector<SValue> more = {};
};

struct SFolder {
    const char* name;
    const char* params;
    std::unique_ptr<CAuthBase> (*make)();
    std::vector<const char*> fields;
    std::vector<SAnswer> answers;
};

template <class TGateway>
std::unique_ptr<CAuthBase> Make() {
    return std::make_unique<TGateway>();
}

const SFolder kFolders[] = {
    // Our "|" encapsulation, none (right while no value holds a comma), and formats not ours:
    // "|" as the delimiter lands in the first field, "$" encapsulation stays on every value.
    {"authorize_net",
     "",
     Make<CAuthAuthorizeNet>,
     {"x_response_code", "x_trans_id", "x_response_reason_code", "x_auth_code", "x_card_type"},
     {
         {"am2012_failed_void", {"$3$", "$0$", "$16$", "$$", "$Visa$"}},
         {"am2012_successful_refund", {"$1$", "$508141797$", "$1$", "$$", "$Visa$"}},
         {"am2012_successful_void", {"$1$", "$508141796$", "$1$", "$xxx$", "$Visa$"}},
         {"am_already_actioned_capture", {"$1$", "$0$", "$311$", "$$", "$$"}},
         {"am_bad_currency", {"$3$", "$$", "$39$", " not supported", "$$"}},
         {"am_failed_authorization", {"$2$", "$508141794$", "$1$", "$advE7f$", "$$"}},
         {"am_failed_refund", {"$3$", "$0$", "$54$", "$$", "$$"}},
         {"am_failed_void", {"$1$", "$0$", "$310$", "$$", "$Visa$"}},
         {"am_fraud_review", {"$4$", "$0$", "$253$", "$$", "$$"}},
         {"am_successful_authorization", {"$1$", "$508141794$", "$1$", "$advE7f$", "$$"}},
         {"am_successful_purchase", {"$1$", "$508141795$", "$1$", "$d1GENk$", "$$"}},
         {"am_successful_void", {"$1$", "$2215573915$", "$1$", "$O39YT0$", "$Visa$"}},
         {"cim_direct_auth_capture_v31", {"1", "2163585627", "1", "CSYM0K", "Visa"}},
         {"cim_direct_auth_only", {"1", "508223659", "1", "Gw4NGI", nullptr}},
         {"cim_direct_refund_declined_extra_fields", {"3", "0", "54", nullptr, nullptr}},
         {"cim_direct_validate_comma_in_company",
          {"1", "508276300", "1", "DEsVh8", nullptr},
          {{"x_ship_to_address", " Inc"}}},
         {"omnipay_aim_authorize_failure", {"3", "0", "5", nullptr, "Visa"}},
         {"omnipay_aim_authorize_success", {"1", "2184493132", "1", "GA4OQP", "Visa"}},
         {"omnipay_aim_capture_failure", {"3", "0", "16", nullptr, nullptr}},
         {"omnipay_aim_capture_success", {"1", "2184494531", "1", "F51OYG", "Visa"}},
         {"omnipay_aim_purchase_failure", {"3", "0", "5", nullptr, "Visa"}},
         {"omnipay_aim_purchase_success", {"1", "2184492509", "1", "JE6JM1", "Visa"}},
         {"omnipay_aim_void_failure", {"3", "0", "33", nullptr, "Visa"}},
         {"omnipay_aim_void_success", {"1", "0", "310", nullptr, "Visa"}},
         {"xml_direct_capture_over_amount", {"3", "0", "47", nullptr, "Visa"}},
         {"xml_direct_pipe_delimiter_commas_in_value",
          {"1|1|1|This transaction has been approved.|8HUT72|Y|2235700270|1|description", nullptr}},
         {"xml_direct_pipe_delimiter_quote_encap", {kWholeAnswer, nullptr}},
         {"xml_direct_stored_card_invalid_number", {"3", "0", "6", nullptr, nullptr}},
         {"xml_direct_stored_card_purchase", {"1", "2235700270", "1", "8HUT72", "Visa"}},
         {"xml_direct_void_already_voided", {"1", "0", "310", nullptr, "Visa"}},
     }},
    {"authorize_net_cp",
     "x_cpversion=1.0",
     Make<CAuthAuthorizeNet>,
     {"x_version", "x_response_code", "x_response_reason_code", "x_auth_code", "x_trans_id"},
     {
         {"am_cp_failed_authorization", {"$1.0$", "$2$", "$2$", "$000000$", "$2470195494$"}},
         {"am_cp_successful_authorization", {"$1.0$", "$1$", "$1$", "$000000$", "$508141794$"}},
         {"am_cp_successful_purchase_card_number_type",
          {"$1.0$", "$1$", "$1$", "$X931M4$", "$2194822223$"}},
     }},
    {"nmi",
     "",
     Make<CAuthNMI>,
     {"response", "responsetext", "authcode", "transactionid", "response_code"},
     {
         {"am_nm_failed_capture_slash_double_space",
          {"3", "Invalid Transaction ID / Object ID specified:  REFID:342421573", "", "", "300"}},
         {"am_nm_failed_login", {"3", "Invalid Username", "", "0", "300"}},
         {"am_nm_successful_purchase_merchant_fields",
          {"1", "SUCCESS", "123456", "1869031575", "100"}},
         {"am_nmi_failed_credit",
          {"3", "Invalid Credit Card Number REFID:3162207528", "", "", "300"}},
         {"am_nmi_failed_purchase", {"2", "DECLINE", "", "2762766725", "200"}},
         {"am_nmi_failed_refund_empty_transactionid",
          {"3", "Invalid Transaction ID specified REFID:3161856100", "", "", "300"}},
         {"am_nmi_failed_void_refid",
          {"3", "Only transactions pending settlement can be voided REFID:3161855545", "",
           "2762816924", "300"}},
         {"am_nmi_successful_3ds_guid_transactionid",
          {"1", "SUCCESS", "123456", "97267598-FAE6-48F2-8083-C23433990FBC", "100"}},
         {"am_nmi_successful_purchase", {"1", "SUCCESS", "123456", "2762757839", "100"}},
         {"am_nmi_successful_store_extra_field", {"1", "Customer Added", "", "", "100"}},
         {"am_nmi_transcript_sale", {"1", "SUCCESS", "123456", "2767466670", "100"}},
         {"omnipay_direct_post_capture_failure",
          {"3", "A capture requires that the existing transaction be an AUTH REFID:143498124", "",
           "2577708057", "300"}},
         {"omnipay_direct_post_sale_failure", {"2", "DECLINE", "", "2577715978", "200"}},
         {"omnipay_direct_post_sale_success", {"1", "SUCCESS", "123456", "2577715564", "100"}},
         {"omnipay_direct_post_void_failure",
          {"3", "Only transactions pending settlement can be voided REFID:143498494", "",
           "2577708057", "300"}},
     }},
    {"payflow",
     "",
     Make<CPayPal>,
     {"result", "pnref", "respmsg", "authcode"},
     {
         {"am_nv_express_details", {"0", nullptr, "Approved", nullptr}},
         {"am_nv_express_invalid_token",
          {"7", nullptr, "Field format error: Invalid Token", nullptr}},
         {"am_nv_failed_authorization_balance", {"12", "VXYZ01234567", "Declined", nullptr}},
         {"am_nv_fraud_review_length_tagged_xml",
          {"126", "V79A0D0CA828", "Under review by Fraud Service", "505PNI"},
          {{"postfpsmsg", "Review"}}},
         {"am_nv_recurring_add", {"0", nullptr, "Approved", "489PNI"}},
         {"am_nv_recurring_payment_history", {"0", nullptr, nullptr, nullptr}},
         {"am_nv_successful_authorization", {"0", "VUJN1A6E11D9", "Approved", "123456"}},
         {"am_nv_successful_duplicate", {"0", "VUJN1A6E11D9", "Approved", "123456"}},
         {"omnipay_create_card_success", {"0", "A10AA633AB30", "Approved", nullptr}},
         {"omnipay_decode_fragment_tagged_amp_eq",
          {nullptr, nullptr, nullptr, nullptr},
          {{"billtolastname", "&= Foo"}, {"test", "Hi"}}},
         {"omnipay_purchase_decline", {"12", "A10AA63244D1", "Declined", nullptr}},
         {"omnipay_purchase_failure", {"1", nullptr, "User authentication failed", nullptr}},
         {"omnipay_purchase_success",
          {"0", "A10A6AE7042E", "Approved", "331PNI"},
          {{"billtolastname", "& Foo"}}},
         {"paypal_doc_example", {"0", "EFHP0D426A53", "APPROVED", "25TEST"}},
     }},
    {"sage",
     "",
     Make<CSage>,
     {"approval indicator", "code", "message", "reference", "order number"},
     {
         {"am_declined_purchase",
          {"E", "000002", "DECLINED", "A5O89kkix0", "3443d6426188f8256b8f"}},
         {"am_failed_refund_invalid_reference",
          {"X", "900022", "INVALID T_REFERENCE", "G68FCVJd10", "72bf690488cf72c81120"}},
         {"am_invalid_login_empty_order_number",
          {"X", "911911", "SECURITY VIOLATION", "0000000000", ""}},
         {"am_successful_authorization", {"A", "911911", "APPROVED", "1234567890", "1000"}},
         {"am_successful_capture", {"A", "000001", "APPROVED 000001", "B5O8AdFhu0", "ID5O8AdFhw"}},
         {"am_successful_purchase",
          {"A", "000001", "APPROVED 000001", "B5O89VPdf0", "e81cab9e6144a160da82"}},
         {"am_successful_refund_blank_code",
          {"A", "      ", "APPROVED", "G68FCU2c60", "16119318c1edb9a27f70"}},
         {"am_transcript_purchase_2016_gunzipped",
          {"A", "000001", "APPROVED 000001", "G6TGMxfWh0", "1741a24e00a5a5f11653"}},
     }},
    {"secpay",
     "",
     Make<CAuthSecPay>,
     {"valid", "trans_id", "code", "auth_code", "message"},
     {
         {"omnipay_authorize_failure",
          {"false", "AUTHFAILURE01", "P:E", nullptr, "Preauth+Failed+:+See+code"}},
         {"omnipay_authorize_success", {"true", "AUTHSUCCESS01", "A", "9999", "TEST AUTH"}},
         {"omnipay_capture_failure",
          {"false", "CAPTFAILURE01", "N", nullptr, "No {1} transaction found"}},
         {"omnipay_capture_success", {"true", "CAPTSUCCESS01", "A", "9999", "Approved"}},
         {"omnipay_create_card_success", {"true", "CUSTCC01", "A", "9999", "TEST AUTH"}},
         {"omnipay_purchase_success", {"true", "PURCHSUCCESS01", "A", "9999", "TEST AUTH"}},
         {"omnipay_void_success", {"true", "VOIDTRXN01", "A", "", "Approved"}},
         {"perl_doc_approved", {"true", "tran0001", "A", "9999", "TEST AUTH"}},
         {"perl_doc_luhn_failed_no_question_mark",
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

            const std::unique_ptr<CAuthBase> gateway = folder.make();
            gateway->SetParameters(folder.params);
            std::string text = body;
            EXPECT_NO_THROW(gateway->ParseResults(text));
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
        }
        EXPECT_EQ(seen, rows.size()) << "a table row without an answer file";
    }
}

}  // namespace
