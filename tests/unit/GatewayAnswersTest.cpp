// Published Authorize.Net answers, as other payment libraries' tests hold them, read by our rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "gateways/AuthorizeNet.h"

namespace {

const std::filesystem::path kAnswers = PGV_GATEWAY_ANSWERS;
const char* const kFolders[] = {"authorize_net", "authorize_net_cp"};
constexpr char kCardPresentFolder[] = "authorize_net_cp";

// The other libraries' names for the fields whose reading we share. "authorization" may carry
// more after a "#"; "message~" is a part of the text.
const char* const kSameNames[] = {"response_code",
                                  "response_subcode",
                                  "response_reason_code",
                                  "amount",
                                  "method",
                                  "first_name",
                                  "last_name",
                                  "company",
                                  "address",
                                  "city",
                                  "state",
                                  "country",
                                  "phone",
                                  "fax",
                                  "ship_to_first_name",
                                  "ship_to_last_name",
                                  "ship_to_company",
                                  "ship_to_address",
                                  "ship_to_city",
                                  "ship_to_state",
                                  "ship_to_country",
                                  "tax",
                                  "duty",
                                  "freight",
                                  "tax_exempt",
                                  "md5_hash"};

std::map<std::string, std::string> LibraryNames() {
    std::map<std::string, std::string> names = {
        {"code", "x_response_code"},
        {"reasonCode", "x_response_reason_code"},
        {"params.response_reason_code", "x_response_reason_code"},
        {"message", "x_response_reason_text"},
        {"message~", "x_response_reason_text"},
        {"authorizationCode", "x_auth_code"},
        {"approval_code", "x_auth_code"},
        {"avsCode", "x_avs_code"},
        {"avs_result.code", "x_avs_code"},
        {"avs_response", "x_avs_code"},
        {"transactionReference", "x_trans_id"},
        {"authorization", "x_trans_id"},
        {"transaction_id", "x_trans_id"},
        {"invoice_number", "x_invoice_num"},
        {"order_description", "x_description"},
        {"transaction_type", "x_type"},
        {"customer_id", "x_cust_id"},
        {"zip_code", "x_zip"},
        {"ship_to_zip_code", "x_ship_to_zip"},
        {"email_address", "x_email"},
        {"purchase_order_number", "x_po_num"},
        {"card_code", "x_cvv2_resp_code"},
        {"cardholder_authentication_verification_response", "x_cavv_resp_code"}};
    for (const char* name : kSameNames) {
        names[name] = std::string("x_") + name;
    }
    return names;
}

// Stands for the whole text of the answer in SValue.
constexpr char kWholeAnswer[] = "(the whole answer)";

struct SValue {
    const char* field;
    const char* value;  // null: the field is absent
};

struct SAnswer {
    const char* fixture;  // the answer file's name without ".body"
    std::vector<SValue> values;
    // Every field of the .expect with a name in LibraryNames is what we read too.
    bool agreesWithLibrary = false;
};

const SAnswer kAnswerTable[] = {
    // "|" encapsulation, as we ask for it.
    {"omnipay_aim_authorize_success", {}, true},
    {"omnipay_aim_authorize_failure", {}, true},
    {"omnipay_aim_capture_success", {}, true},
    {"omnipay_aim_capture_failure", {}, true},
    {"omnipay_aim_purchase_success", {}, true},
    {"omnipay_aim_purchase_failure", {}, true},
    {"omnipay_aim_void_success",
     {{"x_response_reason_code", "310"}, {"x_auth_code", nullptr}, {"x_trans_id", "0"}}},
    {"omnipay_aim_void_failure",
     {{"x_response_reason_text", "A valid referenced transaction ID is required."}}},

    // No encapsulation: right as long as no value holds a comma.
    {"cim_direct_auth_capture_v31", {{"x_account_number", "XXXX4242"}}, true},
    {"cim_direct_auth_only", {}, true},
    {"cim_direct_refund_declined_extra_fields", {{"x_response_code", "3"}, {"x_trans_id", "0"}}},
    {"cim_direct_validate_comma_in_company",
     {{"x_ship_to_company", "Widgets"}, {"x_ship_to_address", " Inc"}, {"x_md5_hash", "none"}},
     true},
    {"xml_direct_stored_card_purchase", {{"x_card_type", "Visa"}}, true},
    {"xml_direct_stored_card_invalid_number", {{"x_trans_id", "0"}}, true},
    {"xml_direct_capture_over_amount", {{"x_trans_id", "0"}}, true},
    {"xml_direct_void_already_voided", {{"x_response_code", "1"}, {"x_trans_id", "0"}}, true},

    // "|" as the delimiter: not our format, everything lands in the first few fields.
    {"xml_direct_pipe_delimiter_commas_in_value",
     {{"x_response_code",
       "1|1|1|This transaction has been approved.|8HUT72|Y|2235700270|1|description"},
      {"x_response_subcode", " with"},
      {"x_trans_id", nullptr}}},
    {"xml_direct_pipe_delimiter_quote_encap",
     {{"x_response_code", kWholeAnswer}, {"x_response_subcode", nullptr}}},

    // "$" encapsulation: not our format, every value keeps its "$".
    {"am_successful_authorization", {{"x_response_code", "$1$"}, {"x_trans_id", "$508141794$"}}},
    {"am_successful_purchase", {{"x_auth_code", "$d1GENk$"}, {"x_trans_id", "$508141795$"}}},
    {"am_failed_authorization", {{"x_response_code", "$2$"}, {"x_trans_id", "$508141794$"}}},
    {"am_failed_refund", {{"x_response_code", "$3$"}, {"x_trans_id", "$0$"}}},
    {"am_already_actioned_capture", {{"x_response_reason_code", "$311$"}}},
    {"am_successful_void", {{"x_trans_id", "$2215573915$"}, {"x_zip", "$K1C2N6$"}}},
    {"am_failed_void", {{"x_auth_code", "$$"}, {"x_card_type", "$Visa$"}}},
    {"am_fraud_review", {{"x_avs_code", "$X$"}, {"x_cvv2_resp_code", "$M$"}}},
    {"am_bad_currency",
     {{"x_response_reason_text", "$The supplied currency code is either invalid"},
      {"x_auth_code", " not supported"},
      {"x_trans_id", "$$"}}},
    {"am2012_successful_void", {{"x_auth_code", "$xxx$"}, {"x_trans_id", "$508141796$"}}},
    {"am2012_failed_void", {{"x_response_code", "$3$"}, {"x_response_reason_code", "$16$"}}},
    {"am2012_successful_refund", {{"x_trans_id", "$508141797$"}}},
    {"am_cp_successful_authorization", {{"x_version", "$1.0$"}, {"x_trans_id", "$508141794$"}}},
    {"am_cp_failed_authorization",
     {{"x_credit_card_response", "$$"}, {"x_trans_id", "$2470195494$"}}},
    {"am_cp_successful_purchase_card_number_type",
     {{"x_trans_id", "$2194822223$"}, {"x_card_type", nullptr}}}};

std::optional<std::string> Lookup(const StringMap& results, const std::string& name) {
    const auto found = results.find(name);
    return found == results.end() ? std::nullopt : std::optional<std::string>(found->second);
}

// The library's readings: the lines of the .expect that are not comments.
std::vector<std::pair<std::string, std::string>> LibraryReadings(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> readings;
    std::istringstream lines(pgvtest::ReadFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (!line.empty() && line[0] != '#' && equals != std::string::npos) {
            readings.emplace_back(line.substr(0, equals), line.substr(equals + 1));
        }
    }
    return readings;
}

void CheckAgreement(const StringMap& results, const std::string& expectPath) {
    static const std::map<std::string, std::string> kLibraryNames = LibraryNames();
    int compared = 0;
    for (auto [key, value] : LibraryReadings(expectPath)) {
        const auto name = kLibraryNames.find(key);
        if (name == kLibraryNames.end()) {
            continue;
        }
        ++compared;
        const std::optional<std::string> ours = Lookup(results, name->second);
        if (key == "message~") {
            EXPECT_NE(ours.value_or("").find(value), std::string::npos) << key;
            continue;
        }
        if (key == "authorization") {
            value = value.substr(0, value.find('#'));
        }
        // An empty reading is a field we do not store at all.
        EXPECT_EQ(ours, value.empty() ? std::nullopt : std::optional<std::string>(value)) << key;
    }
    EXPECT_GT(compared, 0) << "no reading to compare in " << expectPath;
}

TEST(GatewayAnswers, AuthorizeNetAnswersReadByOurRules) {
    std::map<std::string, const SAnswer*> rows;
    for (const SAnswer& row : kAnswerTable) {
        rows[row.fixture] = &row;
    }
    std::set<std::string> seen;
    for (const char* folder : kFolders) {
        for (const auto& entry : std::filesystem::directory_iterator(kAnswers / folder)) {
            if (entry.path().extension() != ".body") {
                continue;
            }
            const std::string fixture = entry.path().stem().string();
            SCOPED_TRACE(fixture);
            EXPECT_TRUE(seen.insert(fixture).second) << "the same name in two folders";
            const auto row = rows.find(fixture);
            if (row == rows.end()) {
                ADD_FAILURE() << "no table row for this answer";
                continue;
            }

            CAuthAuthorizeNet gateway;
            gateway.SetParameters(folder == std::string(kCardPresentFolder) ? "x_cpversion=1.0"
                                                                            : "x_login=me");
            const std::string body = pgvtest::ReadFile(entry.path().string());
            ASSERT_FALSE(body.empty());
            std::string answer = body;
            gateway.ParseResults(answer);

            if (row->second->agreesWithLibrary) {
                std::filesystem::path expect = entry.path();
                CheckAgreement(gateway.m_Results, expect.replace_extension(".expect").string());
            }
            for (const SValue& v : row->second->values) {
                const char* value = v.value == kWholeAnswer ? body.c_str() : v.value;
                EXPECT_EQ(Lookup(gateway.m_Results, v.field),
                          value ? std::optional<std::string>(value) : std::nullopt)
                    << v.field;
            }
        }
    }
    for (const auto& [fixture, row] : rows) {
        EXPECT_EQ(seen.count(fixture), 1u) << "table row without an answer file: " << fixture;
    }
}

}  // namespace
