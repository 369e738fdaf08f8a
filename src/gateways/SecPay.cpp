#include "gateways/SecPay.h"

#include <ctime>

#include "gateways/GatewayHosts.h"
#include "wire/ControlBytes.h"
#include "wire/Endpoint.h"

namespace {

constexpr char kPath[] = "/java-bin/ValCard?";
constexpr char kTransactionId[] = "trans_id";
constexpr char kMessage[] = "message";
constexpr char kApproved[] = "Approved";
constexpr char kValid[] = "valid";
const char* const kSecretNames[] = {"remotepassword", "card_no", "cv2", nullptr};

constexpr char kTestStatus[] = "test_status";
constexpr char kLive[] = "live";
// A refusal by the gateway's check before the bank that the same payment came twice: the first
// may have been authorised.
constexpr char kSamePaymentTwice[] = "P:P";

// The "code" values of ValCard: authorised, not authorised, a problem reaching the bank, refused
// as fraud. A refusal by one of the gateway's own checks before the bank ("P:" and the check's
// letter) is an error like any code not listed.
const SStatusCode kCodes[] = {
    {"A", EStatus::Approved}, {"N", EStatus::Declined},  {"C", EStatus::Error},
    {"F", EStatus::Declined}, {nullptr, EStatus::Error},
};

// The answer says twice whether it is an approval, in "valid" and in "code"; only an answer
// whose two say the same is read by its code. A merchant's test mode (test_status=true or false)
// says so in the answer; only a live one moves money, and an answer that names its mode twice
// says neither.
void ReadValCardAnswer(const std::map<std::string, std::string>& results, const std::string& answer,
                       SNormalised& normalised) {
    const auto valid = results.find(kValid);
    const bool approved = normalised.status == EStatus::Approved;
    if (valid == results.end() || CountPairs(answer, kValid) != 1 ||
        !((valid->second == "true" && approved) || (valid->second == "false" && !approved))) {
        normalised.status = EStatus::Error;
    }
    const auto testStatus = results.find(kTestStatus);
    const bool modeNamedTwice = CountPairs(answer, kTestStatus) > 1;
    normalised.test =
        modeNamedTwice || (testStatus != results.end() && testStatus->second != kLive);
    if (modeNamedTwice) {
        normalised.status = EStatus::Error;
    }
    if (ResultField(results, "code") == kSamePaymentTwice) {
        normalised.status = EStatus::Error;
        normalised.duplicate = true;
    }
}

// One result carries both checks, the address and the card code: "ALL MATCH" and the like. The
// parsed "message" reads "Approved" when the answer has none.
const SResultTable kResults = {
    "SECPAY",
    {"code", kCodes, &CountPairs},
    {kTransactionId, "auth_code", kMessage, "cv2avs", "cv2avs", "amount"},
    &ReadValCardAnswer,
    "amount",
    kApproved,
    true,
};

}  // namespace

const char* const* CAuthSecPay::GetResponseFieldOrder() {
    return nullptr;
}

char CAuthSecPay::GetDelimiter() {
    return '&';
}

const char* CAuthSecPay::GetURL() {
    static const std::string kUrl = HttpsUrl(GatewayHost(EGatewayHost::SecPay), kPath);
    return kUrl.c_str();
}

const SResultTable& CAuthSecPay::GetResultTable() {
    return kResults;
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

const char* const* CAuthSecPay::GetSecretParameterNames() {
    return kSecretNames;
}

bool CAuthSecPay::ParseResults(std::string& response) {
    // The answer starts with "?" and may end in a line end. Only that "?" goes: an answer
    // without it keeps its first name whole, and characters beyond ASCII at the end stay.
    if (!response.empty() && response.front() == '?') {
        response.erase(0, 1);
    }
    size_t end = response.size();
    while (end > 0 && IsControlByte(response[end - 1])) {
        --end;
    }
    response.erase(end);

    ParseParams(response.c_str(), m_Results, '&', true);
    // An answer without a message is an approval unless it says it is not valid.
    const auto valid = m_Results.find(kValid);
    if (m_Results.count(kMessage) == 0 && (valid == m_Results.end() || valid->second != "false")) {
        m_Results[kMessage] = kApproved;
    }
    CreateResultsField();
    return true;
}
