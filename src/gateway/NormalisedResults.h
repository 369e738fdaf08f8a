// One reading of every gateway's answer: whether it was approved, declined, held for review or
// failed, and the transaction id, authorisation code, message and check results, under the same
// "pgv." names whichever portal answered. Each gateway says in one table where its answer keeps
// these; the gateway's own fields stay as they are.
#ifndef PAYGROVE_GATEWAY_NORMALISEDRESULTS_H
#define PAYGROVE_GATEWAY_NORMALISEDRESULTS_H

#include <map>
#include <string>

// Partial: approved for less than the amount asked; the rest is still to be collected. Test: the
// gateway ran the transaction as a test, which moves no money whatever else the answer says.
enum class EStatus { Approved, Partial, Declined, Review, Test, Error };

struct SStatusCode {
    const char* code;  // the status field's value, matched exactly
    EStatus status;
};

struct SNormalised {
    EStatus status = EStatus::Error;
    std::string transactionId;
    std::string authCode;
    std::string message;
    std::string avs;
    std::string cvv;
    std::string gateway;
    std::string amount;      // the amount approved, where the answer says
    bool duplicate = false;  // the gateway took the request for a repeat of an earlier one
    bool test = false;       // the gateway marks the answer as a test
    // An error that still leaves an authorisation on the card, whose code then stays.
    bool authorisationStands = false;
};

// A rule of the gateway's own for what its table cannot say; it sees the parsed fields and the
// answer as the parser left it, and may change any of the values read so far.
typedef void (*NormaliseRule)(const std::map<std::string, std::string>& results,
                              const std::string& answer, SNormalised& normalised);

// How many pairs of a name=value answer carry `name`, read as the gateway's parser reads them.
typedef size_t (*PairCounter)(const std::string& answer, const std::string& name);

// The field whose value says how the transaction went.
struct SStatusField {
    const char* name;
    const SStatusCode* codes;  // ended by a null code; a code not listed is an error
    // For a name=value answer, where the field could come twice; null for positional answers.
    PairCounter countPairs;
};

// The result fields that carry the other values; null where the gateway has none.
struct SValueFields {
    const char* transactionId;
    const char* authCode;
    const char* message;
    const char* avs;
    const char* cvv;
    const char* amount;
};

// Where a gateway's answer keeps the normalised values.
struct SResultTable {
    const char* portal;
    SStatusField status;
    SValueFields values;
    NormaliseRule rule = nullptr;  // null: the table says everything
    // The request's parameter that names the amount asked: an approval for less is a partial one,
    // whichever field of the answer says so. Null where the answer says no amount.
    const char* amountAsked = nullptr;
    // The message the gateway's parser writes into an answer without one; only an approval keeps
    // it. Null where the parser writes none.
    const char* parsersApproval = nullptr;
    // Whether the transaction id is the caller's own, echoed: then it says nothing of the answer's
    // shape, whatever bytes it holds.
    bool echoesCallersTransactionId = false;
};

// The value of a result field without the blanks around it; empty when there is no such field.
std::string ResultField(const std::map<std::string, std::string>& results, const char* name);

// The reading of an answer the gateway gave to a request of `params`.
SNormalised ReadNormalised(const SResultTable& table,
                           const std::map<std::string, std::string>& results,
                           const std::string& answer,
                           const std::map<std::string, std::string>& params);

// The reading of an exchange that failed with `error`.
SNormalised FailedNormalised(const std::string& error);

// The values under their "pgv." names.
std::map<std::string, std::string> NormalisedFields(const SNormalised& normalised);

// Whether `name`, already lower-cased, is one of the "pgv." names.
bool IsNormalisedName(const std::string& name);

// How many pairs of an answer joined by "&" carry `name`, compared without case, read as the
// base class's parser reads them: a length tag is part of the name, and such a name counts too.
size_t CountPairs(const std::string& answer, const std::string& name);

#endif
