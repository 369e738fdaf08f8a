#include "gateways/PayPal.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string_view>

#include "gateways/GatewayHosts.h"
#include "util/Text.h"
#include "wire/Amount.h"
#include "wire/ControlBytes.h"
#include "wire/Endpoint.h"
#include "wire/Pairs.h"

namespace {

constexpr char kTestAccount[] = "test_account";
constexpr char kRequestIdParameter[] = "X-VPS-REQUEST-ID";
constexpr char kInvalidName[] = "Invalid parameter name";
constexpr char kInvalidRequestId[] = "Invalid request id";
constexpr char kEarlierTransaction[] =
    "The answer belongs to an earlier transaction sent under the same request id "
    "(X-VPS-REQUEST-ID): this one was not processed";

// The password and the card with its swipe; the bank account and routing number of an ACH
// payment; the check's MICR line and the driver's licence and social security numbers.
const char* const kSecretNames[] = {"PWD",  "ACCT", "CVV2", "SWIPE", "ABA",
                                    "MICR", "DL",   "SS",   nullptr};

// The body is neither escaped nor tagged in its names: "&" or "=" would split a pair, "[" would
// read as a length tag, and a control byte has no place in a name.
bool IsValidName(const std::string& name) {
    return std::none_of(name.begin(), name.end(), [](char c) {
        return IsControlByte(c) || c == '&' || c == '=' || c == '[';
    });
}

// The RESULT values of the Payflow guides for card transactions. 126 is authorised but held by
// the fraud filters until the merchant accepts it; 127 was not screened by them. Declines: by the
// issuer (12), a referral for a voice authorisation (13), a failed address or card code check
// (112, 114), insufficient funds (50), the merchant's own rules or filters (117, 125), or the
// merchant after a review (128). Every other value, negative ones included, is an error.
const SStatusCode kResultCodes[] = {
    {"0", EStatus::Approved},   {"12", EStatus::Declined},  {"13", EStatus::Declined},
    {"50", EStatus::Declined},  {"112", EStatus::Declined}, {"114", EStatus::Declined},
    {"117", EStatus::Declined}, {"125", EStatus::Declined}, {"126", EStatus::Review},
    {"127", EStatus::Review},   {"128", EStatus::Declined}, {nullptr, EStatus::Error},
};

constexpr char kDuplicate[] = "duplicate";
constexpr char kRequestIdSeenBefore[] = "1";
constexpr char kEarlierRepeat[] =
    "The gateway took this request for a repeat of an earlier transaction: look that one up "
    "before charging again";

// The pairs the parser reads under `name`, so that a status field hidden inside another's value
// is counted exactly when it is read.
size_t CountReadPairs(const std::string& answer, const std::string& name) {
    return CountPairsNamed(answer, '&', ELengthTags::Read, name);
}

// The address check comes as two letters, street and zip, which read together as one result. A
// partial authorisation approves AMT of the ORIGAMT asked. DUPLICATE=1 answers a request id the
// gateway has seen before, with that transaction's answer: whether it is this one's is for the
// request's own record to tell. Any other DUPLICATE but 0 (an ORDERID sent before) answers for an
// earlier transaction that no record here can vouch for, and so does one named twice.
void ReadPayflowAnswer(const std::map<std::string, std::string>& results, const std::string& answer,
                       SNormalised& normalised) {
    for (const char* name : {"avsaddr", "avszip"}) {
        if (const auto check = results.find(name); check != results.end()) {
            normalised.avs += check->second;
        }
    }
    const std::optional<SAmount> approved = ReadAmount(normalised.amount);
    const std::optional<SAmount> original = ReadAmount(ResultField(results, "origamt"));
    if (normalised.status == EStatus::Approved && approved && original && *approved < *original) {
        normalised.status = EStatus::Partial;
    }
    const std::string duplicate = ResultField(results, kDuplicate);
    const bool namedTwice = CountReadPairs(answer, kDuplicate) > 1;
    normalised.duplicate = namedTwice || (results.count(kDuplicate) > 0 && duplicate != "0");
    if (normalised.duplicate && (namedTwice || duplicate != kRequestIdSeenBefore)) {
        normalised.status = EStatus::Error;
        normalised.message = kEarlierRepeat;
    }
}

// What went out under each request id in this process, as a fingerprint of the request: Payflow
// answers an id it has seen with that transaction's answer, whatever the new request holds.
std::map<std::string, size_t>& SentUnderRequestId() {
    static std::map<std::string, size_t> sent;
    return sent;
}

const SResultTable kResults = {
    "PAYPAL",
    {"result", kResultCodes, &CountReadPairs},
    {"pnref", "authcode", "respmsg", nullptr, "cvv2match", "amt"},
    &ReadPayflowAnswer,
    "AMT",
    nullptr,
};

}  // namespace

CPayPal::CPayPal() : m_IsTestAccount(false) {}

CPayPal::~CPayPal() = default;

void CPayPal::GetCustomHeaders(std::vector<std::string>& headers) {
    headers.clear();
    headers.push_back("X-VPS-CLIENTTIMEOUT: 45");
    headers.push_back("X-VPS-VITINTEGRATION-PRODUCT: Paygrove");
    headers.push_back("X-VPS-VITINTEGRATION-VERSION: 5.0");
    headers.push_back("X-VPS-REQUEST-ID: " + m_RequestId);
    headers.push_back("X-VPS-VIT-OS-NAME: " + Machine().OperatingSystemName());
}

const char* const* CPayPal::GetResponseFieldOrder() {
    return nullptr;
}

char CPayPal::GetDelimiter() {
    return '&';
}

const char* CPayPal::GetURL() {
    static const std::string kLive = HttpsUrl(GatewayHost(EGatewayHost::PayflowLive), "");
    static const std::string kTest = HttpsUrl(GatewayHost(EGatewayHost::PayflowTest), "");
    return m_IsTestAccount ? kTest.c_str() : kLive.c_str();
}

const SResultTable& CPayPal::GetResultTable() {
    return kResults;
}

int CPayPal::GetRequestFlags() {
    return kRequestPost | kRequestLengthTags;
}

int CPayPal::SetParameters(const char* text) {
    const int count = CAuthBase::SetParameters(text);
    m_IsTestAccount = m_Params.erase(kTestAccount) > 0;
    // The id stays until a new one is given: resending a transaction under its own id is what
    // keeps the gateway from charging it twice.
    if (auto requestId = m_Params.find(kRequestIdParameter); requestId != m_Params.end()) {
        m_RequestId = requestId->second;
        m_Params.erase(requestId);
    }
    return count;
}

const char* const* CPayPal::GetSecretParameterNames() {
    return kSecretNames;
}

const char* CPayPal::GetRequestRefusal() {
    for (const auto& entry : m_Params) {
        if (!IsValidName(entry.first)) {
            return kInvalidName;
        }
    }
    // The id goes out as a header line: a line end in it would add lines of its own.
    if (HoldsControlByte(m_RequestId)) {
        return kInvalidRequestId;
    }
    return nullptr;
}

void CPayPal::ReviewAnswer(const std::string& request, SNormalised* answered) {
    std::map<std::string, size_t>& sent = SentUnderRequestId();
    const size_t fingerprint = std::hash<std::string>()(request);
    if (answered == nullptr) {
        // It may have reached the gateway all the same; what went first under the id stays.
        sent.emplace(m_RequestId, fingerprint);
        return;
    }
    if (!answered->duplicate) {
        sent[m_RequestId] = fingerprint;
        return;
    }
    // Only DUPLICATE=1 answers for this request id; any other was read as an error already.
    if (ResultField(m_Results, kDuplicate) != kRequestIdSeenBefore) {
        return;
    }
    // A resend of the same request is answered rightly; any other was never processed. Without
    // a record of the id there is no telling, and no approval is read from it.
    const auto earlier = sent.find(m_RequestId);
    if (earlier == sent.end() || earlier->second != fingerprint) {
        answered->status = EStatus::Error;
        answered->message = kEarlierTransaction;
    }
}

bool CPayPal::ParseResults(std::string& response) {
    // A line end after the last pair belongs to no value.
    response.erase(response.find_last_not_of("\r\n") + 1);
    // An answer that cannot be read leaves no field, so it reads as an error, never as the
    // status of a pair that stood where another's value should have been. A value that holds "&"
    // or "=" comes with its length in the name, NAME[5]=a&b=c, and is taken by that length.
    const bool read = ReadPairs(response, '&', ELengthTags::Read,
                                [this](std::string_view name, std::string_view value) {
                                    m_Results[LowerCase(std::string(name))] = value;
                                });
    if (!read) {
        m_Results.clear();
    }
    CreateResultsField();
    return true;
}
