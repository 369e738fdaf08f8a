#include "gateways/AuthorizeNet.h"

#include <initializer_list>

#include "gateways/GatewayHosts.h"
#include "util/Text.h"
#include "wire/ControlBytes.h"
#include "wire/Endpoint.h"

namespace {

constexpr char kPath[] = "/gateway/transact.dll?";
constexpr char kDelimiter = ',';
// Every value comes back wrapped in this character, so a comma inside a value (a decline
// reason, a company name) cannot shift the fields after it. It can never occur in a caller's
// value, since it separates the parameter text.
constexpr char kEncapsulation = '|';
constexpr char kEncapsulatedDelimiter[] = "|,|";

const char* const kStandardLayout[] = {
    "x_response_code",
    "x_response_subcode",
    "x_response_reason_code",
    "x_response_reason_text",
    "x_auth_code",
    "x_avs_code",
    "x_trans_id",
    "x_invoice_num",
    "x_description",
    "x_amount",
    "x_method",
    "x_type",
    "x_cust_id",
    "x_first_name",
    "x_last_name",
    "x_company",
    "x_address",
    "x_city",
    "x_state",
    "x_zip",
    "x_country",
    "x_phone",
    "x_fax",
    "x_email",
    "x_ship_to_first_name",
    "x_ship_to_last_name",
    "x_ship_to_company",
    "x_ship_to_address",
    "x_ship_to_city",
    "x_ship_to_state",
    "x_ship_to_zip",
    "x_ship_to_country",
    "x_tax",
    "x_duty",
    "x_freight",
    "x_tax_exempt",
    "x_po_num",
    "x_md5_hash",
    "x_cvv2_resp_code",
    "x_cavv_resp_code",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "x_account_number",
    "x_card_type",
    // The split-tender fields of a prepaid card follow the card's own.
    "x_split_tender_id",
    "x_prepaid_requested_amount",
    "x_prepaid_balance_on_card",
    nullptr,
};

// Positions 11 to 20 are reserved; the masked card, its type and the split-tender fields of a
// prepaid card follow them, the amount approved among them.
const char* const kCardPresentLayout[] = {
    "x_version",
    "x_response_code",
    "x_response_reason_code",
    "x_response_reason_text",
    "x_auth_code",
    "x_avs_code",
    "x_credit_card_response",
    "x_trans_id",
    "x_md5_hash",
    "x_user_reference",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "Unused",
    "x_account_number",
    "x_card_type",
    "x_split_tender_id",
    "x_prepaid_requested_amount",
    "x_approved_amount",
    "x_prepaid_balance_on_card",
    nullptr,
};

// The response codes of the AIM and card-present guides.
const SStatusCode kResponseCodes[] = {
    {"1", EStatus::Approved}, {"2", EStatus::Declined},  {"3", EStatus::Error},
    {"4", EStatus::Review},   {nullptr, EStatus::Error},
};

// An account in test mode, or a request with x_test_request, is answered in the gateway's test
// mode: nothing is charged, the reason text says so, and the transaction id is "0", which is what
// the gateway writes wherever no transaction was made.
constexpr char kTestMode[] = "(TESTMODE)";

bool NamesNoTransaction(const std::string& id) {
    return !id.empty() && id.find_first_not_of('0') == std::string::npos;
}

bool IsOneOf(const std::string& reason, std::initializer_list<const char*> codes) {
    for (const char* code : codes) {
        if (reason == code) {
            return true;
        }
    }
    return false;
}

// What the response code alone does not say, its reason code does: a prepaid card approved for
// part of the amount (4/295); a reversal that found nothing to reverse, or a void or capture done
// before (1/308, 1/310, 1/311); a repeat of a transaction the gateway or the processor saw minutes
// ago (3/11, 2/318, 2/222), whose original may have been approved; an authorisation whose
// settlement failed (3/36), which leaves the amount held on the card. The gateway's own repeat
// carries the original's authorisation code.
void ReadAuthorizeNetAnswer(const std::map<std::string, std::string>& results, const std::string&,
                            SNormalised& normalised) {
    const std::string reason = ResultField(results, "x_response_reason_code");
    normalised.test = StartsWithNoCase(normalised.message, kTestMode);
    if (NamesNoTransaction(normalised.transactionId)) {
        normalised.transactionId.clear();
    }
    if (normalised.status == EStatus::Review && reason == "295") {
        normalised.status = EStatus::Partial;
    } else if (normalised.status == EStatus::Approved && IsOneOf(reason, {"308", "310", "311"})) {
        normalised.status = EStatus::Error;
    } else if (IsOneOf(reason, {"11", "318", "222"})) {
        normalised.status = EStatus::Error;
        normalised.duplicate = true;
        normalised.authorisationStands = reason == "11";
    } else if (normalised.status == EStatus::Error && reason == "36") {
        normalised.authorisationStands = true;
    }
}

// The two layouts name the same fields, but for the card code's result and the amount.
const SResultTable kStandardResults = {
    "AUTHNET",
    {"x_response_code", kResponseCodes, nullptr},
    {"x_trans_id", "x_auth_code", "x_response_reason_text", "x_avs_code", "x_cvv2_resp_code",
     "x_amount"},
    &ReadAuthorizeNetAnswer,
    "x_amount",
    nullptr,
};

const SResultTable kCardPresentResults = {
    "AUTHNET",
    {"x_response_code", kResponseCodes, nullptr},
    {"x_trans_id", "x_auth_code", "x_response_reason_text", "x_avs_code", "x_credit_card_response",
     "x_approved_amount"},
    &ReadAuthorizeNetAnswer,
    "x_amount",
    nullptr,
};
// The transaction key and password, the card and its tracks, and the bank account, driver's
// licence and tax id of an electronic check.
const char* const kSecretNames[] = {"x_tran_key",
                                    "x_password",
                                    "x_card_num",
                                    "x_card_code",
                                    "x_track1",
                                    "x_track2",
                                    "x_bank_aba_code",
                                    "x_bank_acct_num",
                                    "x_drivers_license_num",
                                    "x_drivers_license_dob",
                                    "x_customer_tax_id",
                                    "x_cardholder_authentication_value",
                                    nullptr};

// No value holds the wrapping character, so between the first and the last one every other
// begins a delimiter. One that does not is a cut just after a delimiter, whose opening character
// reads as the closing one, or the end of one answer and the start of another, doubled or padded:
// either would leave wrapping in a value, a transaction id or an amount among them.
bool WrapsEveryValue(const std::string& values) {
    const size_t size = sizeof kEncapsulatedDelimiter - 1;
    for (size_t at = values.find(kEncapsulation); at != std::string::npos;
         at = values.find(kEncapsulation, at + size)) {
        if (values.compare(at, size, kEncapsulatedDelimiter) != 0) {
            return false;
        }
    }
    return true;
}

std::string EndpointUrl(EGatewayHost host) {
    return HttpsUrl(GatewayHost(host), kPath);
}

}  // namespace

CAuthAuthorizeNet::CAuthAuthorizeNet() : m_IsCardPresent(false), m_IsTestAccount(false) {}

CAuthAuthorizeNet::~CAuthAuthorizeNet() = default;

const char* const* CAuthAuthorizeNet::GetResponseFieldOrder() {
    return m_IsCardPresent ? kCardPresentLayout : kStandardLayout;
}

char CAuthAuthorizeNet::GetDelimiter() {
    return kDelimiter;
}

const char* CAuthAuthorizeNet::GetURL() {
    static const std::string kLive = EndpointUrl(EGatewayHost::AuthorizeNetLive);
    static const std::string kTest = EndpointUrl(EGatewayHost::AuthorizeNetTest);
    static const std::string kCardPresent = EndpointUrl(EGatewayHost::AuthorizeNetCardPresent);
    if (!m_Hostname.empty()) {
        // A line end in the caller's URL would end the request line early and add header lines
        // of its own: such a text is no URL.
        return HoldsControlByte(m_Hostname) ? nullptr : m_Hostname.c_str();
    }
    if (!m_IsCardPresent) {
        return kLive.c_str();
    }
    return m_IsTestAccount ? kTest.c_str() : kCardPresent.c_str();
}

const SResultTable& CAuthAuthorizeNet::GetResultTable() {
    return m_IsCardPresent ? kCardPresentResults : kStandardResults;
}

int CAuthAuthorizeNet::GetRequestFlags() {
    return kRequestEscape;
}

int CAuthAuthorizeNet::SetParameters(const char* text) {
    const int count = CAuthBase::SetParameters(text);

    m_IsTestAccount = m_Params.erase("test_account") > 0;
    if (auto hostname = m_Params.find("_hostname"); hostname != m_Params.end()) {
        m_Hostname = hostname->second;
        m_Params.erase(hostname);
    } else {
        m_Hostname.clear();
    }
    m_IsCardPresent = m_Params.count("x_cpversion") > 0;

    if (m_IsCardPresent) {
        m_Params["x_response_format"] = "1";
    } else {
        m_Params["x_delim_data"] = "True";
        m_Params["x_relay_response"] = "False";
    }
    m_Params["x_delim_char"] = std::string(1, kDelimiter);
    m_Params["x_encap_char"] = std::string(1, kEncapsulation);
    return count;
}

const char* const* CAuthAuthorizeNet::GetSecretParameterNames() {
    return kSecretNames;
}

bool CAuthAuthorizeNet::ParseResults(std::string& response) {
    // The gateway repeats the caller's own fields (description, names, address) in its answer,
    // and any of them may hold a line end: a wrapped answer is therefore read whole, and lines
    // are dropped only ahead of the line where the wrapped values begin.
    if (response.empty() || response.front() != kEncapsulation) {
        const size_t wrapped = response.find(std::string("\n") + kEncapsulation);
        if (wrapped != std::string::npos) {
            response.erase(0, wrapped + 1);
        }
    }

    if (!response.empty() && response.front() == kEncapsulation) {
        // Line ends after the closing character are no part of the values. Without that
        // character the answer is cut or not the gateway's, and none of it is read.
        const size_t closing = response.find_last_not_of("\r\n");
        if (closing > 0 && response[closing] == kEncapsulation) {
            const std::string values = response.substr(1, closing - 1);
            if (WrapsEveryValue(values)) {
                StoreDelimitedFields(values, kEncapsulatedDelimiter);
            }
        }
    } else {
        StoreDelimitedFields(response, std::string(1, kDelimiter));
    }
    CreateResultsField();
    return true;
}
