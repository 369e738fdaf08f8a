#include "gateway/NormalisedResults.h"

#include "wire/Amount.h"
#include "wire/ControlBytes.h"
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
constexpr char kTest[] = "pgv.test";

const char* const kNames[] = {kStatus, kApproved, kTransactionId, kAuthCode,  kMessage, kAvs,
                              kCvv,    kGateway,  kAmount,        kDuplicate, kTest};

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
        case EStatus::Test:
            return "test";
        case EStatus::Error:
            break;
    }
    return "error";
}

// The card's money was taken, all or part of it.
bool IsApproval(EStatus status) {
    return status == EStatus::Approved || status == EStatus::Partial;
}

bool IsAuthorised(EStatus status) {
    return IsApproval(status) || status == EStatus::Review;
}

bool BelowAmountAsked(const std::string& approved, const std::map<std::string, std::string>& params,
                      const char* amountAsked) {
    if (amountAsked == nullptr) {
        return false;
    }
    const auto asked = params.find(amountAsked);
    if (asked == params.end()) {
        return false;
    }
    const std::optional<SAmount> approvedAmount = ReadAmount(approved);
    const std::optional<SAmount> askedAmount = ReadAmount(asked->second);
    return approvedAmount && askedAmount && *approvedAmount < *askedAmount;
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
    // caller's field can be made to give one twice: an answer that names its status, its
    // transaction or the amount it approved twice contradicts itself and is no approval.
    if (field.countPairs != nullptr) {
        const auto twice = [&](const char* name) {
            return name != nullptr && field.countPairs(answer, name) > 1;
        };
        if (field.countPairs(answer, field.name) != 1 || twice(table.values.transactionId) ||
            twice(table.values.amount)) {
            return EStatus::Error;
        }
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
                           const std::string& answer,
                           const std::map<std::string, std::string>& params) {
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
    if (normalised.status == EStatus::Approved &&
        BelowAmountAsked(normalised.amount, params, table.amountAsked)) {
        normalised.status = EStatus::Partial;
    }
    // A test takes no money and holds none, whatever the gateway would have answered for real.
    if (normalised.test && IsAuthorised(normalised.status)) {
        normalised.status = EStatus::Test;
    }
    // An approval that names no transaction cannot be captured, voided or refunded, and may be no
    // charge at all: a stored card, a recurring profile, an id the gateway writes as "0". No id a
    // gateway makes holds a control byte: one that does runs into padding or a second answer.
    const bool idRunsOn =
        !table.echoesCallersTransactionId && HoldsControlByte(normalised.transactionId);
    if (IsApproval(normalised.status) && (normalised.transactionId.empty() || idRunsOn)) {
        normalised.status = EStatus::Error;
    }
    // Some gateways send a code in that place whatever happened (Sage an error number, the
    // card-present API zeros with a decline); only a card that holds an authorisation has one.
    if (!IsAuthorised(normalised.status) && !normalised.authorisationStands) {
        normalised.authCode.clear();
    }
    if (table.parsersApproval != nullptr && normalised.status != EStatus::Approved &&
        normalised.message == table.parsersApproval) {
        normalised.message.clear();
    }
    return normalised;
}

SNormalised FailedNormalised(const std::string& error) {
    SNormalised normalised;
    normalised.message = error;
    return normalised;
}

std::map<std::string, std::string> NormalisedFields(const SNormalised& normalised) {
    // The amount is the amount approved: a gateway repeats the amount asked in any answer, and a
    // decline, a hold or an error approved none.
    return {{kStatus, StatusText(normalised.status)},
            {kApproved, normalised.status == EStatus::Approved ? "1" : "0"},
            {kTransactionId, normalised.transactionId},
            {kAuthCode, normalised.authCode},
            {kMessage, normalised.message},
            {kAvs, normalised.avs},
            {kCvv, normalised.cvv},
            {kGateway, normalised.gateway},
            {kAmount, IsApproval(normalised.status) ? normalised.amount : std::string()},
            {kDuplicate, normalised.duplicate ? "1" : "0"},
            {kTest, normalised.test ? "1" : "0"}};
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
