#include "gateway/NormalisedResults.h"

#include "wire/Padding.h"
#include "wire/Pairs.h"

namespace {

constexpr char kStatus[] = "pgv.status";
constexpr char kApproved[] = "pgv.approved";
constexpr char kTransactionId[] = "pgv.transaction_id";
constexpr char kAuthCode[] = "pgv.auth_code";
constexpr char kMessage[] = "pgv.message";
constexpr char kAvs[] = "pgv.avs";
constexpr char kCvv[] = "pgv.cvv";
constexpr char kGateway[] = "pgv.gateway";
constexpr char kAmount[] = "pgv.amount";
constexpr char kDuplicate[] = "pgv.duplicate";

const char* const kNames[] = {kStatus, kApproved, kTransactionId, kAuthCode, kMessage,
                              kAvs,    kCvv,      kGateway,       kAmount,   kDuplicate};

const char* StatusText(EStatus status) {
    switch (status) {
        case EStatus::Approved:
            return "approved";
        case EStatus::Partial:
            return "partial";
        case EStatus::Declined:
            return "declined";
        case EStatus::Review:
            return "review";
        case EStatus::Error:
            break;
    }
    return "error";
}

bool IsAuthorised(EStatus status) {
    return status == EStatus::Approved || status == EStatus::Partial || status == EStatus::Review;
}

EStatus StatusByCode(const SResultTable& table, const std::map<std::string, std::string>& results,
                     const std::string& answer) {
    const SStatusField& field = table.status;
    if (field.name == nullptr) {
        return EStatus::Error;
    }
    const auto code = results.find(field.name);
    if (code == results.end()) {
        return EStatus::Error;
    }
    // The parsed fields keep only the last of a field given twice, and a gateway that repeats a
    // caller's field can be made to give one twice: an answer that names its status or its
    // transaction twice contradicts itself and is no approval.
    if (field.countPairs != nullptr &&
        (field.countPairs(answer, field.name) != 1 ||
         (table.values.transactionId != nullptr &&
          field.countPairs(answer, table.values.transactionId) > 1))) {
        return EStatus::Error;
    }
    for (const SStatusCode* row = field.codes; row != nullptr && row->code != nullptr; ++row) {
        if (code->second == row->code) {
            return row->status;
        }
    }
    return EStatus::Error;
}

}  // namespace

std::string ResultField(const std::map<std::string, std::string>& results, const char* name) {
    if (name == nullptr) {
        return std::string();
    }
    const auto found = results.find(name);
    return found == results.end() ? std::string() : WithoutPadding(found->second);
}

SNormalised ReadNormalised(const SResultTable& table,
                           const std::map<std::string, std::string>& results,
                           const std::string& answer) {
    SNormalised normalised;
    normalised.status = StatusByCode(table, results, answer);
    normalised.transactionId = ResultField(results, table.values.transactionId);
    normalised.authCode = ResultField(results, table.values.authCode);
    normalised.message = ResultField(results, table.values.message);
    normalised.avs = ResultField(results, table.values.avs);
    normalised.cvv = ResultField(results, table.values.cvv);
    normalised.amount = ResultField(results, table.values.amount);
    normalised.gateway = table.portal ? table.portal : "";
    if (table.rule != nullptr) {
        table.rule(results, answer, normalised);
    }
    // Some gateways send a code in that place whatever happened (Sage an error number, the
    // card-present API zeros with a decline); only a card that holds an authorisation has one.
    if (!IsAuthorised(normalised.status) && !normalised.authorisationStands) {
        normalised.authCode.clear();
    }
    return normalised;
}

SNormalised FailedNormalised(const std::string& error) {
    SNormalised normalised;
    normalised.message = error;
    return normalised;
}

std::map<std::string, std::string> NormalisedFields(const SNormalised& normalised) {
    return {{kStatus, StatusText(normalised.status)},
            {kApproved, normalised.status == EStatus::Approved ? "1" : "0"},
            {kTransactionId, normalised.transactionId},
            {kAuthCode, normalised.authCode},
            {kMessage, normalised.message},
            {kAvs, normalised.avs},
            {kCvv, normalised.cvv},
            {kGateway, normalised.gateway},
            {kAmount, normalised.amount},
            {kDuplicate, normalised.duplicate ? "1" : "0"}};
}

bool IsNormalisedName(const std::string& name) {
    for (const char* known : kNames) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

size_t CountPairs(const std::string& answer, const std::string& name) {
    return CountPairsNamed(answer, '&', ELengthTags::Ignored, name);
}
