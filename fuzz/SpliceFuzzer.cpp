// "Approved" is never wrong: a gateway repeats some of the caller's own fields in its answer, so
// whatever a caller writes there must leave the answer's status, approval and transaction id as
// the gateway meant them. Each input is caller text, spliced into every field the portal's
// gateway echoes in one of its published answers (approvals, declines, errors); the transaction
// then reads that answer through the real flow and must read what it reads without the splice.
// Whatever the text, an approval names a transaction, and is neither a test nor a repeat.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "FuzzExchange.h"

namespace {

// A published answer cut into its fixed text and the places where an echoed field stands.
struct STemplate {
    std::vector<std::string> pieces;  // one more than the echoed fields
    std::vector<std::string> echoed;  // the fields as published
};

struct SOutcome {
    std::string status;
    std::string approved;
    std::string transactionId;
    std::string test;
    std::string duplicate;
};

// How one portal's answer is cut, and which of its fields are the caller's.
struct SPortal {
    const char* parameters;
    const char* folder;  // of its published answers
    // Cuts a published answer into a template; false for an answer not of the expected shape.
    bool (*cut)(const std::string& body, STemplate& answer);
    // The bytes of caller text that would change the answer's shape wherever a gateway wrote
    // them as they stand; with one of them in the splice, only the approval itself is held to.
    const char* separators;
    // SecPay's transaction id is the caller's own, echoed: it changes with the splice.
    bool echoesTransactionId;
};

std::vector<std::string> Split(const std::string& text, const std::string& delimiter) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t at; (at = text.find(delimiter, start)) != std::string::npos;
         start = at + delimiter.size()) {
        fields.push_back(text.substr(start, at - start));
    }
    fields.push_back(text.substr(start));
    return fields;
}

std::string WithoutLineEnds(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// Authorize.Net's published answers are wrapped in `$` or unwrapped with `,`; the plug-in asks for
// `|` and `,`, so each is rewritten that way, with its echoed fields and two merchant-defined
// fields at the end (which the gateway also repeats) left open.
bool CutAuthorizeNet(const std::string& published, const std::vector<size_t>& echoedAt,
                     STemplate& answer) {
    const std::string body = WithoutLineEnds(published);
    const bool wrapped = body.size() >= 2 && body.front() == '$' && body.back() == '$';
    const std::vector<std::string> fields =
        wrapped ? Split(body.substr(1, body.size() - 2), "$,$") : Split(body, ",");
    if (fields.size() <= echoedAt.back() || body.find('|') != std::string::npos) {
        return false;
    }
    std::string piece = "|";
    size_t next = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            piece += "|,|";
        }
        if (next < echoedAt.size() && echoedAt[next] == i) {
            answer.pieces.push_back(piece);
            answer.echoed.push_back(fields[i]);
            piece.clear();
            ++next;
        } else {
            piece += fields[i];
        }
    }
    for (const char* merchantField : {"|,|", "|,|"}) {
        piece += merchantField;
        answer.pieces.push_back(piece);
        answer.echoed.emplace_back();
        piece.clear();
    }
    answer.pieces.push_back(piece + "|");
    return true;
}

bool CutAuthorizeNetStandard(const std::string& body, STemplate& answer) {
    // The invoice number, description, customer id, names, company, address, contact and ship-to
    // fields, and the purchase order number.
    std::vector<size_t> echoedAt = {7, 8};
    for (size_t i = 12; i <= 31; ++i) {
        echoedAt.push_back(i);
    }
    echoedAt.push_back(36);
    return CutAuthorizeNet(body, echoedAt, answer);
}

bool CutAuthorizeNetCardPresent(const std::string& body, STemplate& answer) {
    // The caller's reference.
    return CutAuthorizeNet(body, {9}, answer);
}

// NMI and SecPay answer name=value pairs; the named fields are the caller's.
bool CutPairs(const std::string& published, const std::set<std::string>& names, STemplate& answer) {
    const std::string body = WithoutLineEnds(published);
    std::string piece;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        end = end == std::string::npos ? body.size() : end;
        const std::string pair = body.substr(start, end - start);
        const size_t equals = pair.find('=');
        const std::string name = pair.substr(0, equals);
        const std::string bare = !name.empty() && name.front() == '?' ? name.substr(1) : name;
        if (equals != std::string::npos && names.count(bare) > 0) {
            answer.pieces.push_back(piece + pair.substr(0, equals + 1));
            answer.echoed.push_back(pair.substr(equals + 1));
            piece.clear();
        } else {
            piece += pair;
        }
        if (end < body.size()) {
            piece += '&';
        }
        start = end + 1;
    }
    answer.pieces.push_back(piece);
    return !answer.echoed.empty();
}

bool CutNetworkMerchants(const std::string& body, STemplate& answer) {
    return CutPairs(body, {"orderid"}, answer);
}

bool CutSecPay(const std::string& body, STemplate& answer) {
    return CutPairs(body, {"trans_id"}, answer);
}

// Sage's record has fixed places up to its first field separator; the order number that follows
// it is the caller's.
bool CutSage(const std::string& body, STemplate& answer) {
    const size_t start = body.find('\x1c');
    const size_t end = start == std::string::npos ? start : body.find('\x1c', start + 1);
    if (end == std::string::npos) {
        return false;
    }
    answer.pieces = {body.substr(0, start + 1), body.substr(end)};
    answer.echoed = {body.substr(start + 1, end - start - 1)};
    return true;
}

const SPortal& Portal() {
    static const SPortal kAuthorizeNet = {"x_card_num=4111111111111111", "authorize_net",
                                          &CutAuthorizeNetStandard, "", false};
    static const SPortal kAuthorizeNetCardPresent = {"x_cpversion=1.0", "authorize_net_cp",
                                                     &CutAuthorizeNetCardPresent, "", false};
    static const SPortal kNetworkMerchants = {"x_card_num=4111111111111111", "nmi",
                                              &CutNetworkMerchants, "&", false};
    static const SPortal kSecPay = {"x_card_num=4111111111111111", "secpay", &CutSecPay, "&", true};
    static const SPortal kSage = {"x_card_num=4111111111111111", "sage", &CutSage, "\x1c\x03",
                                  false};
    const std::string portal = PGV_FUZZ_PORTAL;
    const std::string variant = PGV_FUZZ_VARIANT;
    if (portal == "AUTHNET") {
        return variant == "cp" ? kAuthorizeNetCardPresent : kAuthorizeNet;
    }
    if (portal == "NMI") {
        return kNetworkMerchants;
    }
    return portal == "SECPAY" ? kSecPay : kSage;
}

std::string Filled(const STemplate& answer, const std::string* caller) {
    std::string text = answer.pieces[0];
    for (size_t i = 0; i < answer.echoed.size(); ++i) {
        text += caller != nullptr ? *caller : answer.echoed[i];
        text += answer.pieces[i + 1];
    }
    return text;
}

SOutcome Read(const std::string& answer) {
    const SPortal& portal = Portal();
    SOutcome outcome;
    const std::unique_ptr<CAuthBase> gateway =
        RunTransaction(PGV_FUZZ_PORTAL, portal.parameters, answer);
    gateway->GetResponseFieldValue("pgv.status", outcome.status);
    gateway->GetResponseFieldValue("pgv.approved", outcome.approved);
    gateway->GetResponseFieldValue("pgv.transaction_id", outcome.transactionId);
    gateway->GetResponseFieldValue("pgv.test", outcome.test);
    gateway->GetResponseFieldValue("pgv.duplicate", outcome.duplicate);
    return outcome;
}

struct SAnswer {
    STemplate shape;
    SOutcome unspliced;
};

const std::vector<SAnswer>& Answers() {
    static const std::vector<SAnswer> kAnswers = [] {
        std::vector<SAnswer> answers;
        std::vector<std::filesystem::path> bodies;
        for (const auto& entry : std::filesystem::directory_iterator(
                 std::filesystem::path(PGV_ANSWERS_DIR) / Portal().folder)) {
            if (entry.path().extension() == ".body") {
                bodies.push_back(entry.path());
            }
        }
        std::sort(bodies.begin(), bodies.end());
        for (const auto& path : bodies) {
            std::ifstream file(path, std::ios::binary);
            const std::string body{std::istreambuf_iterator<char>(file),
                                   std::istreambuf_iterator<char>()};
            SAnswer answer;
            if (Portal().cut(body, answer.shape)) {
                answer.unspliced = Read(Filled(answer.shape, nullptr));
                answers.push_back(std::move(answer));
            }
        }
        if (answers.empty()) {
            std::fprintf(stderr, "no published answer to splice into under %s\n", PGV_ANSWERS_DIR);
            std::abort();
        }
        return answers;
    }();
    return kAnswers;
}

void Expect(bool holds, const std::string& what, const SOutcome& unspliced,
            const SOutcome& spliced) {
    if (!holds) {
        std::fprintf(stderr, "%s: %s/%s/%s read as %s/%s/%s\n", what.c_str(),
                     unspliced.status.c_str(), unspliced.approved.c_str(),
                     unspliced.transactionId.c_str(), spliced.status.c_str(),
                     spliced.approved.c_str(), spliced.transactionId.c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Answers();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::vector<SAnswer>& answers = Answers();
    const SAnswer& answer = answers[data[0] % answers.size()];
    // The caller's text as it can reach a gateway: `|` parts parameters, and a zero byte ends a
    // host text.
    std::string caller;
    for (size_t i = 1; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c != '|' && c != '\0') {
            caller += c;
        }
    }
    const SOutcome spliced = Read(Filled(answer.shape, &caller));
    const SOutcome& unspliced = answer.unspliced;
    const bool approved =
        spliced.approved == "1" || spliced.status == "approved" || spliced.status == "partial";
    const bool unchanged =
        spliced.status == unspliced.status && spliced.approved == unspliced.approved &&
        (Portal().echoesTransactionId || spliced.transactionId == unspliced.transactionId);
    // Whatever the text, an answer that was not an approval never reads as one, and one that
    // reads as an approval names the gateway's own transaction.
    Expect(!approved || unchanged, "an approval that the gateway did not give", unspliced, spliced);
    Expect(!approved ||
               (!spliced.transactionId.empty() && spliced.test == "0" && spliced.duplicate == "0"),
           "an approval of no transaction, of a test or of a repeat", unspliced, spliced);
    // SecPay's transaction id is the caller's own: empty or blank text leaves the answer naming
    // no transaction, and an approval of none is an error. The gateway itself refuses a request
    // without the id, so it never gives such an answer.
    const bool namesNone =
        Portal().echoesTransactionId && spliced.transactionId.empty() && spliced.status == "error";
    if (caller.find_first_of(Portal().separators) == std::string::npos) {
        Expect(unchanged || namesNone, "a changed answer", unspliced, spliced);
    }
    return 0;
}
