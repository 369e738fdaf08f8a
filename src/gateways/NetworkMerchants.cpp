#include "gateways/NetworkMerchants.h"

#include "gateways/GatewayHosts.h"

namespace {

constexpr char kPath[] = "/api/transact.php?";

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

int CAuthNMI::GetRequestFlags() {
    return kRequestEscape;
}

bool CAuthNMI::ParseResults(std::string& response) {
    ParseParams(response.c_str(), m_Results, '&', true);
    CreateResultsField();
    return true;
}
