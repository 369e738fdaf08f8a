// The transaction flow: the same for every gateway, shaped by its request flags.

#include "gateway/AuthBase.h"
#include "gateway/CardData.h"
#include "gateway/URLEscape.h"
#include "wire/ByteOrderMark.h"
#include "wire/LengthTag.h"

namespace {

constexpr char kLogParameter[] = "WIM_Log";
constexpr char kResultAll[] = "all";
constexpr char kResultError[] = "error";

// Closes the transaction log however the transaction ends, so that a transaction left by an
// exception does not keep the file open and lose the next transaction's lines.
class CTransactionLogScope {
public:
    explicit CTransactionLogScope(Log& log) : m_Log(log) {}
    ~CTransactionLogScope() { m_Log.Close(); }
    CTransactionLogScope(const CTransactionLogScope&) = delete;
    CTransactionLogScope& operator=(const CTransactionLogScope&) = delete;

private:
    Log& m_Log;
};

void WriteResults(Log& log, const char* heading, const StringMap& results) {
    log.Write("");
    log.Write("%s", heading);
    CLogIndent indent(log);
    for (const auto& [name, value] : results) {
        log.Write("%s=%s", name.c_str(), value.c_str());
    }
}

}  // namespace

std::string CAuthBase::BuildRequest(int flags) {
    std::string request;
    for (const auto& [name, value] : m_Params) {
        if (!request.empty()) {
            request += '&';
        }
        // A name is caller text like any value: unescaped, a blank, "&" or "=" in it would split
        // the request, and a line end would reach the request line. Names are never cut.
        request += (flags & kRequestEscape)
                       ? URLEscape(name.c_str(), static_cast<int>(name.size()) + 1)
                       : name;
        if (flags & kRequestLengthTags) {
            request += LengthTag(value.size());
        }
        request += '=';
        request += (flags & kRequestEscape) ? URLEscape(value.c_str(), kEscapeOutputSize) : value;
        m_Log.Write("%s=%s", name.c_str(), value.c_str());
    }
    return request;
}

bool CAuthBase::Send(int timeout, std::string& /*response*/) {
    m_RequestMayHaveBeenSent = false;
    CTransactionLogScope logScope(m_Log);
    if (auto logParameter = m_Params.find(kLogParameter); logParameter != m_Params.end()) {
        m_Log.SetLogFile(logParameter->second.c_str());
        m_Params.erase(logParameter);
        m_Log.Open(true);
        m_Log.Write("");
    }

    const int flags = GetRequestFlags();
    m_Log.SetMask(BuildLogMask(m_Params, GetSecretParameterNames()));
    m_Log.Write("--Parameters");
    std::string request;
    {
        CLogIndent indent(m_Log);
        request = BuildRequest(flags);
        m_Log.Write(" URL - %s", request.c_str());
    }
    m_Log.Write("");

    m_Results.clear();
    m_Normalised.clear();
    std::string response;
    bool ok = false;
    if (const char* refusal = GetRequestRefusal()) {
        m_Log.Write("**Error - %s", refusal);
        response = refusal;
    } else {
        ok = Authorize(request.c_str(), timeout, response);
        // Before any parser reads the answer: a byte-order mark belongs to no field of it.
        DropByteOrderMark(response);
    }
    if (!ok) {
        m_Results[kResultError] = response;
        m_Normalised = NormalisedFields(FailedNormalised(response));
        ReviewAnswer(request, nullptr);
    } else if (!ParseResults(response)) {
        // A parser that gives up on the answer fails the transaction; the log still gets the
        // fields it stored before that. The gateway answered, so it holds the request.
        ok = false;
        m_Normalised = NormalisedFields(FailedNormalised(std::string()));
    } else {
        m_Results[kResultAll] = response;
        SNormalised normalised = ReadNormalised(GetResultTable(), m_Results, response, m_Params);
        ReviewAnswer(request, &normalised);
        m_Normalised = NormalisedFields(normalised);
    }

    WriteResults(m_Log, "--Results", m_Results);
    WriteResults(m_Log, "--Normalised results", m_Normalised);
    return ok;
}
