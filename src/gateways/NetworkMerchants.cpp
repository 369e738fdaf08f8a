#include "gateways/NetworkMerchants.h"

#include "gateways/GatewayHosts.h"

namespace {

constexpr char kPath[] = "/api/transact.php?";

// The "response" values of the Direct Post API.
const SStatusCode kResponseCodes[] = {
    {"1", EStatus::Approved},
    {"2", EStatus::Declined},
    {"3", EStatus::Error},
    {nullptr, EStatus::Error},
};

const SResultTable kResults = {
    "NMI",
    {"response", kResponseCodes, &CountPairs},
    {"transactionid", "authcode", "responsetext", "avsresponse", "cvvresponse"},
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
    static const std::string kUrl =
        std::string("https://") + GatewayHost(EGatewayHost::NetworkMerchants) + kPath;
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
