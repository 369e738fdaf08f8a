// Keeps secrets out of log lines. A transaction logs its parameters, its request text and the
// gateway's answer; card numbers, track data, security codes and passwords must not reach the
// file in clear.
#ifndef PAYGROVE_LOG_LOGMASK_H
#define PAYGROVE_LOG_LOGMASK_H

#include <string>
#include <vector>

#include "log/TextSearch.h"

// What a secret that is not a card number is shown as.
inline constexpr char kHiddenValue[] = "********";

class CLogMask {
public:
    // A secret is found as it stands and in any escaping a request, a form or a gateway's echo
    // may give it: %XX in either case for any byte, "+" for a blank. An escaped occurrence is
    // replaced by `masked` with every character the mask keeps written as the line wrote it.

    // Masks `secret` where it stands as the value of the parameter `name`: after "name=" or
    // "name[length]=" (a name that ends in such a tag also matches without it), up to the end of
    // the line, a line end or the next "&", "," or "|". A short secret (a security code of three
    // digits, say) is masked there only, so other values that happen to hold the same digits
    // stay readable.
    void AddValue(const std::string& name, const std::string& secret, const std::string& masked);
    // Masks `secret` wherever it occurs.
    void AddAnywhere(const std::string& secret, const std::string& masked);

    // Every occurrence of every secret is found in the line as given, the longest first, together
    // with every card number and stretch of track data in it, and all are replaced in one pass:
    // hiding one secret never changes the text another is looked for in. Where two overlap
    // without one holding the other, both go under one kHiddenValue. What was hidden can leave
    // digits that make a card number (those beside a hidden secret, a masked number's last four
    // with the groups after them), so the masked line is read once more for those. Every search
    // reads the line a bounded number of times: a line is masked in time in step with its size.
    std::string Apply(const std::string& line) const;

private:
    struct SRule {
        std::vector<std::string> names;  // empty: anywhere
        CTextSearch secret;
        std::string masked;
        CTextSearch decoded;  // the secret as a decoded line reads it: "+" as a blank
    };
    // A line with every escape decoded and every "+" read as a blank, and where each of its
    // bytes begins in the line, with the line's end after the last.
    struct SDecodedLine {
        std::string text;
        std::vector<size_t> from;
    };
    struct SSpan {
        size_t begin;
        size_t end;
        std::string replacement;
    };

    void AddRule(std::vector<std::string> names, const std::string& secret,
                 const std::string& masked);
    static SDecodedLine Decode(const std::string& line);
    static std::string EscapedMask(const std::string& line, const SDecodedLine& decoded, size_t at,
                                   const SRule& rule);
    static bool IsValueOf(const std::string& line, size_t at, const std::string& name);
    static bool NameEndsAt(const std::string& line, size_t end, const std::string& name);
    static bool EndsValue(const std::string& line, size_t end);

    std::vector<SRule> m_Rules;  // longest secret first
};

#endif
