#include "gateways/NetworkMerchants.h"

#include <optional>

#include "gateways/GatewayHosts.h"
#include "util/Text.h"
#include "wire/Amount.h"
#include "wire/Endpoint.h"

namespace {

constexpr char kPath[] = "/api/transact.php?";

// The "response" values of the Direct Post API.
const SStatusCode kResponseCodes[] = {
    {"1", EStatus::Approved},
    {"2", EStatus::Declined},
    {"3", EStatus::Error},
    {nullptr, EStatus::Error},
};

constexpr char kBalance[] = "partial_payment_balance";
constexpr char kResponseText[] = "responsetext";
constexpr char kResponseCode[] = "response_code";

// A refusal of the same card and amount within the merchant's duplicate window (dup_seconds),
// which the gateway words "Duplicate transaction" under its code 300, or the processor's own
// (430): the first attempt may have been approved.
bool IsDuplicateRefusal(const std::map<std::string, std::string>& results) {
    return ResultField(results, kResponseCode) == "430" ||
           StartsWithNoCase(ResultField(results, kResponseText), "Duplicate transaction");
}

// A card approved for less than the amount asked (a prepaid card's balance) leaves the rest of
// the amount as a balance still to be paid; a balance named twice says neither. The caller's order
// id, echoed in the answer, can name the fields that tell a repeat again and hide the gateway's:
// named twice, they say nothing certain.
void ReadNetworkMerchantsAnswer(const std::map<std::string, std::string>& results,
                                const std::string& answer, SNormalised& normalised) {
    const std::optional<SAmount> balance = ReadAmount(ResultField(results, kBalance));
    if (CountPairs(answer, kBalance) > 1 || CountPairs(answer, kResponseText) > 1 ||
        CountPairs(answer, kResponseCode) > 1) {
        normalised.status = EStatus::Error;
    } else if (normalised.status == EStatus::Approved && balance && SAmount{} < *balance) {
        normalised.status = EStatus::Partial;
    }
    if (IsDuplicateRefusal(results)) {
        normalised.status = EStatus::Error;
        normalised.duplicate = true;
    }
}

const SResultTable kResults = {
    "NMI",
    {"response", kResponseCodes, &CountPairs},
    {"transactionid", "authcode", "responsetext", "avsresponse", "cvvresponse",
     "amount_authorized"},
    &ReadNetworkMerchantsAnswer,
    "amount",
    nullptr,
};

// The login and security key, the card and its tracks, and what an electronic check carries:
// the bank account and routing number, the social security and driver's licence numbers.
const char* const kSecretNames[] = {"password",
                                    "security_key",
                                    "ccnumber",
                                    "cvv",
                                    "track_1",
                                    "track_2",
                                    "track_3",
                                    "checkaccount",
                                    "checkaba",
                                    "account_number",
                                    "routing_number",
                                    "ssn",
                                    "social_security_number",
                                    "drivers_license",
                                    nullptr};

}  // namespace

const char* const* CAuthNMI::GetResponseFieldOrder() {
    return nullptr;
}

char CAuthNMI::GetDelimiter() {
    return '&';
}

const char* CAuthNMI::GetURL() {
    static const std::string kUrl = HttpsUrl(GatewayHost(EGatewayHost::NetworkMerchants), kPath);
    return kUrl.c_str();
}

const SResultTable& CAuthNMI::GetResultTable() {
    return kResults;
}

int CAuthNMI::GetRequestFlags() {
    return kRequestEscape;
}

const char* const* CAuthNMI::GetSecretParameterNames() {
    return kSecretNames;
}

bool CAuthNMI::ParseResults(std::string& response) {
    ParseParams(response.c_str(), m_Results, '&', true);
    CreateResultsField();
    return true;
}
