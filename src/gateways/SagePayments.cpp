#include "gateways/SagePayments.h"

#include <cstring>
#include <iterator>

#include "gateways/GatewayHosts.h"
#include "wire/Endpoint.h"
#include "wire/Padding.h"

namespace {

constexpr char kPath[] = "/cgi-bin/eftBankcard.dll";
constexpr char kTransactionQuery[] = "?transaction";
constexpr char kSettlementQuery[] = "?settlement";
constexpr char kTransType[] = "trans_type";
constexpr char kTransaction[] = "transaction";
constexpr char kSettlement[] = "settlement";
constexpr char kMessage[] = "message";
// The order number runs from its offset to the ASCII field separator.
constexpr char kFieldSeparator = '\x1C';
constexpr char kEndOfText = '\x03';
constexpr size_t kOrderNumberOffset = 57;
// The merchant key, the card, and the routing and account numbers of a check.
const char* const kSecretNames[] = {"M_key", "C_cardnumber", "C_cvv", "C_rte", "C_acct", nullptr};

struct SField {
    size_t offset;
    size_t width;
    const char* name;
};

const SField kTransactionLayout[] = {
    {1, 1, "approval indicator"}, {2, 6, "code"},           {8, 32, "message"},
    {40, 2, "front-end"},         {42, 1, "cvv indicator"}, {43, 1, "avs indicator"},
    {44, 2, "risk indicator"},    {46, 10, "reference"},
};

const SField kSettlementLayout[] = {
    {1, 1, "approval indicator"}, {2, 6, "batch number"}, {8, 32, "message"},
    {40, 6, "batch item count"},  {46, 12, "batch net"},  {58, 10, "reference"},
};

// The approval indicator of the bankcard and settlement answers: approved, declined by the
// front end, rejected by the gateway.
const SStatusCode kApprovalIndicators[] = {
    {"A", EStatus::Approved},
    {"E", EStatus::Declined},
    {"X", EStatus::Error},
    {nullptr, EStatus::Error},
};

// A settlement answer has no code, card check or address check: those read empty.
const SResultTable kResults = {
    "SAGE",
    {"approval indicator", kApprovalIndicators, nullptr},
    {"reference", "code", kMessage, "avs indicator", "cvv indicator", nullptr},
};

// A transaction record as the gateway ends it: a field separator after the order number, and
// the record closed by a separator and the end-of-text byte. Without them it was cut on its way,
// perhaps inside the reference, which would then name another transaction to a later void or
// refund.
bool IsWholeTransactionRecord(const std::string& record) {
    const size_t last = record.find_last_not_of("\r\n");
    if (last == std::string::npos || last <= kOrderNumberOffset || record[last] != kEndOfText ||
        record[last - 1] != kFieldSeparator) {
        return false;
    }
    return record.find(kFieldSeparator, kOrderNumberOffset) < last - 1;
}

// A settlement record holds its reference whole.
bool IsWholeSettlementRecord(const std::string& record) {
    const SField& reference = kSettlementLayout[std::size(kSettlementLayout) - 1];
    return record.size() >= reference.offset + reference.width;
}

std::string Url(const char* query) {
    return HttpsUrl(GatewayHost(EGatewayHost::SagePayments), kPath) + query;
}

}  // namespace

CSage::CSage() : m_IsSettlement(false) {}

const char* const* CSage::GetResponseFieldOrder() {
    return nullptr;
}

char CSage::GetDelimiter() {
    return '\0';
}

const char* CSage::GetURL() {
    static const std::string kTransactionUrl = Url(kTransactionQuery);
    static const std::string kSettlementUrl = Url(kSettlementQuery);
    return m_IsSettlement ? kSettlementUrl.c_str() : kTransactionUrl.c_str();
}

const SResultTable& CSage::GetResultTable() {
    return kResults;
}

int CSage::GetRequestFlags() {
    return kRequestPost | kRequestEscape;
}

int CSage::SetParameters(const char* text) {
    const int count = CAuthBase::SetParameters(text);
    if (auto transType = m_Params.find(kTransType); transType != m_Params.end()) {
        m_IsSettlement = transType->second == kSettlement;
    } else {
        m_Params[kTransType] = kTransaction;
        m_IsSettlement = false;
    }
    return count;
}

const char* const* CSage::GetSecretParameterNames() {
    return kSecretNames;
}

bool CSage::StoreField(const std::string& response, size_t offset, size_t width, const char* name) {
    // A field cut short by the answer's end is kept as it stands; one that begins past it is not
    // there at all.
    if (offset > response.size()) {
        return false;
    }
    const std::string value = response.substr(offset, width);
    m_Results[name] = std::strcmp(name, kMessage) == 0 ? WithoutPadding(value) : value;
    return true;
}

bool CSage::ParseResults(std::string& response) {
    // An answer too short for its record, or cut short of its end, fails the transaction, with
    // the fields cut so far.
    if (m_IsSettlement) {
        for (const SField& field : kSettlementLayout) {
            if (!StoreField(response, field.offset, field.width, field.name)) {
                return false;
            }
        }
        if (!IsWholeSettlementRecord(response)) {
            return false;
        }
    } else {
        for (const SField& field : kTransactionLayout) {
            if (!StoreField(response, field.offset, field.width, field.name)) {
                return false;
            }
        }
        const size_t separator = response.find(kFieldSeparator, kOrderNumberOffset);
        if (separator != std::string::npos) {
            m_Results["order number"] =
                response.substr(kOrderNumberOffset, separator - kOrderNumberOffset);
            m_Results["recurring indicator"] = response.substr(separator + 1, 1);
        }
        if (!IsWholeTransactionRecord(response)) {
            return false;
        }
    }
    CreateResultsField();
    return true;
}
