#include "gateways/RxPayments.h"

#include <array>

#include "gateways/GatewayHosts.h"
#include "gateways/Machine.h"

namespace {

constexpr char kTransType[] = "TRANS_TYPE";
constexpr char kIpAddress[] = "rx_ipaddress";
const char* const kSecretNames[] = {"rx_password", "rx_cardnumber", nullptr};

struct SEndpoint {
    const char* transType;
    const char* path;
};

const SEndpoint kEndpoints[] = {
    {"AUTH_CAPTURE", "/secure/rxprocess?"},
    {"AUTH_PREAUTH", "/secure/rxauthorize?"},
    {"AUTH_SETTLE", "/secure/rxsettle?"},
    {"AUTH_REFUND", "/secure/rxrefund?"},
};

const std::string& EndpointUrl(size_t index) {
    static const std::array<std::string, std::size(kEndpoints)> kUrls = [] {
        std::array<std::string, std::size(kEndpoints)> urls;
        for (size_t i = 0; i < urls.size(); ++i) {
            urls[i] = std::string("https://") + GatewayHost(EGatewayHost::RxPayments) +
                      kEndpoints[i].path;
        }
        return urls;
    }();
    return kUrls[index];
}

}  // namespace

std::string ExtractValueFromXML(const std::string& xml, const std::string& tag) {
    const size_t found = xml.find(tag);
    if (found == std::string::npos) {
        return std::string();
    }
    const size_t start = found + tag.size();
    const size_t end = xml.find('<', start);
    return end == std::string::npos ? std::string() : xml.substr(start, end - start);
}

const char* const* CRxPay::GetResponseFieldOrder() {
    return nullptr;
}

char CRxPay::GetDelimiter() {
    return '&';
}

const char* CRxPay::GetURL() {
    const auto transType = m_Params.find(kTransType);
    if (transType == m_Params.end()) {
        return nullptr;
    }
    for (size_t i = 0; i < std::size(kEndpoints); ++i) {
        if (transType->second == kEndpoints[i].transType) {
            return EndpointUrl(i).c_str();
        }
    }
    return nullptr;
}

int CRxPay::GetRequestFlags() {
    return kRequestEscape;
}

int CRxPay::SetParameters(const char* text) {
    const std::string address = LocalIPv4Address();
    if (!address.empty()) {
        m_Params[kIpAddress] = address;
    }
    return CAuthBase::SetParameters(text);
}

const char* const* CRxPay::GetSecretParameterNames() {
    return kSecretNames;
}

bool CRxPay::ParseResults(std::string& response) {
    if (response.find("<success>") != std::string::npos) {
        m_Results["transaction"] = ExtractValueFromXML(response, "<transaction>");
        m_Results["confirmation"] = ExtractValueFromXML(response, "<confirmation>");
        m_Results["success"] = "1";
    } else {
        m_Results["code"] = ExtractValueFromXML(response, "<code>");
        m_Results["errormessage"] = ExtractValueFromXML(response, "<errormessage>");
        m_Results["success"] = "0";
    }
    CreateResultsField();
    return true;
}
