#include "gateway/AuthBase.h"

#include <string_view>

#include "util/Text.h"

namespace {

constexpr char kResultPairs[] = "pairs";
constexpr char kNoResult[] = "Error - no result obtained";

}  // namespace

CAuthBase::CAuthBase() = default;

CAuthBase::~CAuthBase() = default;

void CAuthBase::GetCustomHeaders(std::vector<std::string>& headers) {
    headers.clear();
}

const SResultTable& CAuthBase::GetResultTable() {
    static const SResultTable kNoTable = {};
    return kNoTable;
}

const char* const* CAuthBase::GetSecretParameterNames() {
    static const char* const kNone[] = {nullptr};
    return kNone;
}

const char* CAuthBase::GetRequestRefusal() {
    return nullptr;
}

void CAuthBase::ReviewAnswer(const std::string&, SNormalised*) {}

int CAuthBase::SetParameters(const char* text) {
    return ParseParams(text, m_Params, '|', false);
}

int CAuthBase::ParseParams(const char* text, StringMap& into, char separator, bool lowerCaseNames) {
    const std::string_view all = text ? text : "";
    int count = 0;
    size_t position = 0;
    while (position < all.size()) {
        const size_t end = all.find(separator, position);
        if (end == position) {
            ++position;
            continue;
        }
        const std::string_view segment = all.substr(position, end - position);
        position = end == std::string_view::npos ? all.size() : end + 1;
        const size_t equals = segment.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        std::string name(segment.substr(0, equals));
        if (lowerCaseNames) {
            name = LowerCase(std::move(name));
        }
        into[std::move(name)] = segment.substr(equals + 1);
        ++count;
    }
    return count;
}

void CAuthBase::StripWS(std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(0, first);
    text.erase(text.find_last_not_of(' ') + 1);
}

void CAuthBase::Clear() {
    m_Params.clear();
    m_Results.clear();
    m_Normalised.clear();
}

void CAuthBase::SetExchange(std::shared_ptr<IExchange> exchange) {
    m_Exchange = std::move(exchange);
}

bool CAuthBase::Authorize(const char* request, int timeout, std::string& response) {
    try {
        SHttpRequest http;
        http.post = (GetRequestFlags() & kRequestPost) != 0;
        const char* url = GetURL();
        http.url = url ? url : "";
        if (http.post) {
            http.body = request;
        } else {
            http.url += request;
        }
        GetCustomHeaders(http.headerLines);
        http.timeoutSeconds = timeout;
        const SHttpOutcome outcome =
            m_Exchange ? m_Exchange->Perform(http, m_Log)
                       : SHttpOutcome{false, ExchangeFailureText(EExchangeFailure::Unknown)};
        response = outcome.text;
        return outcome.ok;
    } catch (...) {
        response = ExchangeFailureText(EExchangeFailure::Unknown);
        return false;
    }
}

bool CAuthBase::ParseResults(std::string& response) {
    StoreDelimitedFields(response, std::string(1, GetDelimiter()));
    return true;
}

void CAuthBase::StoreDelimitedFields(const std::string& text, const std::string& delimiter) {
    const char* const* names = GetResponseFieldOrder();
    if (names == nullptr || delimiter.empty()) {
        return;
    }
    size_t position = 0;
    for (size_t index = 0; names[index] != nullptr; ++index) {
        const size_t end = text.find(delimiter, position);
        if (end == std::string::npos) {
            if (position < text.size()) {
                m_Results[names[index]] = text.substr(position);
            }
            return;
        }
        if (end > position) {
            m_Results[names[index]] = text.substr(position, end - position);
        }
        position = end + delimiter.size();
    }
}

void CAuthBase::CreateResultsField() {
    std::string pairs;
    for (const auto& [name, value] : m_Results) {
        if (!pairs.empty()) {
            pairs += ',';
        }
        pairs.append(name).append(1, '=').append(value);
    }
    m_Results[kResultPairs] = pairs;
}

void CAuthBase::GetResponseFieldValue(const char* name, std::string& value) {
    const std::string key = LowerCase(name ? name : "");
    // The normalised names are the plug-in's own: a gateway field or a parameter of that name
    // never stands in for one, not even before the first send.
    if (IsNormalisedName(key)) {
        const auto normalised = m_Normalised.find(key);
        value = normalised == m_Normalised.end() ? kNoResult : normalised->second;
    } else if (auto result = m_Results.find(key); result != m_Results.end()) {
        value = result->second;
    } else if (auto param = m_Params.find(key); param != m_Params.end()) {
        value = param->second;
    } else {
        value = kNoResult;
    }
}
