#include "gateways/NetworkMerchants.h"

#include <cstdlib>

#include "gateways/GatewayHosts.h"
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

// A card approved for less than the amount asked (a prepaid card's balance) leaves the rest of
// the amount as a balance still to be paid.
void ReadPartialPayment(const std::map<std::string, std::string>& results, const std::string&,
                        SNormalised& normalised) {
    const std::string balance = ResultField(results, "partial_payment_balance");
    if (normalised.status == EStatus::Approved && std::strtod(balance.c_str(), nullptr) > 0) {
        normalised.status = EStatus::Partial;
    }
}

const SResultTable kResults = {
    "NMI",
    {"response", kResponseCodes, &CountPairs},
    {"transactionid", "authcode", "responsetext", "avsresponse", "cvvresponse",
     "amount_authorized"},
    &ReadPartialPayment,
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
