#include "gateway/AuthBase.h"

#include <string_view>

#include "util/Text.h"
#include "wire/Pairs.h"

namespace {

constexpr char kResultPairs[] = "pairs";
constexpr char kNoResult[] = "Error - no result obtained";

class CUnknownMachine : public IMachine {
public:
    std::string OperatingSystemName() const override { return std::string(); }
    std::string IPv4Address() const override { return std::string(); }
};

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
    int count = 0;
    ReadPairs(text ? text : "", separator, ELengthTags::Ignored,
              [&](std::string_view name, std::string_view value) {
                  std::string key(name);
                  into[lowerCaseNames ? LowerCase(std::move(key)) : std::move(key)] = value;
                  ++count;
              });
    return count;
}

void CAuthBase::Clear() {
    m_Params.clear();
    m_Results.clear();
    m_Normalised.clear();
}

void CAuthBase::SetExchange(std::shared_ptr<IExchange> exchange) {
    m_Exchange = std::move(exchange);
}

void CAuthBase::SetMachine(std::shared_ptr<const IMachine> machine) {
    m_Machine = std::move(machine);
}

const IMachine& CAuthBase::Machine() const {
    static const CUnknownMachine kUnknown;
    return m_Machine ? *m_Machine : kUnknown;
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
        m_RequestMayHaveBeenSent = outcome.ok || outcome.mayHaveBeenSent;
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
