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
    {"response", kResponseCodes, '&'},
    {"transactionid", "authcode", "responsetext", "avsresponse", "cvvresponse"},
};

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

bool CAuthNMI::ParseResults(std::string& response) {
    ParseParams(response.c_str(), m_Results, '&', true);
    CreateResultsField();
    return true;
}
