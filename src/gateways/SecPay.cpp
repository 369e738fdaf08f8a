#include "gateways/SecPay.h"

#include <ctime>

#include "gateways/GatewayHosts.h"

namespace {

constexpr char kPath[] = "/java-bin/ValCard?";
constexpr char kTransactionId[] = "trans_id";
constexpr char kMessage[] = "message";
constexpr char kApproved[] = "Approved";

bool IsPrintable(char c) {
    return c >= 0x20 && c <= 0x7E;
}

}  // namespace

const char* const* CAuthSecPay::GetResponseFieldOrder() {
    return nullptr;
}

char CAuthSecPay::GetDelimiter() {
    return '&';
}

const char* CAuthSecPay::GetURL() {
    static const std::string kUrl =
        std::string("https://") + GatewayHost(EGatewayHost::SecPay) + kPath;
    return kUrl.c_str();
}

int CAuthSecPay::GetRequestFlags() {
    return kRequestEscape;
}

int CAuthSecPay::SetParameters(const char* text) {
    // The clock in whole seconds names the transaction unless the caller names it; written in
    // 64 bits so it does not wrap in 2038.
    m_Params[kTransactionId] = std::to_string(static_cast<long long>(std::time(nullptr)));
    return CAuthBase::SetParameters(text);
}

bool CAuthSecPay::ParseResults(std::string& response) {
    // The answer starts with "?" and may end in a line end.
    if (!response.empty()) {
        response.erase(0, 1);
    }
    size_t end = response.size();
    while (end > 0 && !IsPrintable(response[end - 1])) {
        --end;
    }
    response.erase(end);

    ParseParams(response.c_str(), m_Results, '&', true);
    if (m_Results.count(kMessage) == 0) {
        m_Results[kMessage] = kApproved;
    }
    CreateResultsField();
    return true;
}
