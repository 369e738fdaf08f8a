#include "gateways/RxPayments.h"

#include <array>

#include "gateways/GatewayHosts.h"
#include "wire/Endpoint.h"

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

// RxPayments publishes no list of its codes. Its answer holds either a <success> element, whose
// text is "true", or a <code> element with an error message; the codes are those its test
// processor answers: E12 declines the card, E01 to E07 refuse the request.
const SStatusCode kErrorCodes[] = {
    {"E12", EStatus::Declined}, {"E01", EStatus::Error}, {"E02", EStatus::Error},
    {"E03", EStatus::Error},    {"E04", EStatus::Error}, {"E05", EStatus::Error},
    {"E06", EStatus::Error},    {"E07", EStatus::Error}, {nullptr, EStatus::Error},
};

size_t Occurrences(const std::string& text, const std::string& tag) {
    size_t count = 0;
    for (size_t at = text.find(tag); at != std::string::npos; at = text.find(tag, at + 1)) {
        ++count;
    }
    return count;
}

// The parsed "success" says only whether the element is there; the answer says what it holds.
// An answer with neither element, or with more than one of them, says nothing certain.
void ReadSuccessElement(const std::map<std::string, std::string>&, const std::string& answer,
                        SNormalised& normalised) {
    const size_t successes = Occurrences(answer, "<success>");
    if (successes + Occurrences(answer, "<code>") != 1) {
        normalised.status = EStatus::Error;
    } else if (successes == 1) {
        normalised.status =
            ExtractValueFromXML(answer, "<success>") == "true" ? EStatus::Approved : EStatus::Error;
    }
}

const SResultTable kResults = {
    "RXPAY",
    {"code", kErrorCodes, nullptr},
    {"transaction", "confirmation", "errormessage", nullptr, nullptr, nullptr},
    &ReadSuccessElement,
};

const std::string& EndpointUrl(size_t index) {
    static const std::array<std::string, std::size(kEndpoints)> kUrls = [] {
        std::array<std::string, std::size(kEndpoints)> urls;
        for (size_t i = 0; i < urls.size(); ++i) {
            urls[i] = HttpsUrl(GatewayHost(EGatewayHost::RxPayments), kEndpoints[i].path);
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

const SResultTable& CRxPay::GetResultTable() {
    return kResults;
}

int CRxPay::GetRequestFlags() {
    return kRequestEscape;
}

int CRxPay::SetParameters(const char* text) {
    const std::string address = Machine().IPv4Address();
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
