#include "log/CardNumbers.h"

namespace {

constexpr size_t kMinCardDigits = 13;
constexpr size_t kMaxCardDigits = 19;
constexpr size_t kVisibleCardDigits = 4;
constexpr size_t kExpiryDigits = 4;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsSeparator(char c) {
    return c == ' ' || c == '-';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// A blank as a request or a form carries it.
constexpr char kEscapedBlank[] = "%20";
constexpr size_t kEscapedBlankSize = sizeof(kEscapedBlank) - 1;
constexpr size_t kEscapeSize = 3;  // "%" and two hexadecimal digits

bool IsEscapedBlankAt(const std::string& text, size_t at) {
    return text.compare(at, kEscapedBlankSize, kEscapedBlank) == 0;
}

// Any byte as a request carries it: "%" and two hexadecimal digits, in either case.
bool IsEscapeAt(const std::string& text, size_t at) {
    return at + kEscapeSize <= text.size() && text[at] == '%' && IsHexDigit(text[at + 1]) &&
           IsHexDigit(text[at + 2]);
}

// The length of the separator between two groups of a card number's digits at `at`: a blank,
// a hyphen, or a blank escaped as a request carries it (%20 or +); 0 for anything else.
size_t SeparatorAt(const std::string& text, size_t at) {
    if (at >= text.size()) {
        return 0;
    }
    if (IsSeparator(text[at]) || text[at] == '+') {
        return 1;
    }
    return IsEscapedBlankAt(text, at) ? kEscapedBlankSize : 0;
}

bool PassesLuhn(const std::string& digits) {
    int sum = 0;
    bool doubled = false;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        int digit = *it - '0';
        if (doubled) {
            digit = digit * 2 > 9 ? digit * 2 - 9 : digit * 2;
        }
        sum += digit;
        doubled = !doubled;
    }
    return sum % 10 == 0;
}

// The digits of an escaped byte belong to no run: "#" before a card number, escaped as %23, would
// otherwise make its digits too many for a card.
std::vector<STextSpan> DigitRuns(const std::string& text) {
    std::vector<STextSpan> runs;
    size_t at = 0;
    while (at < text.size()) {
        if (IsEscapeAt(text, at)) {
            at += kEscapeSize;
            continue;
        }
        if (!IsDigit(text[at])) {
            ++at;
            continue;
        }
        const size_t begin = at;
        while (at < text.size() && IsDigit(text[at])) {
            ++at;
        }
        runs.push_back({begin, at});
    }
    return runs;
}

bool IsCardRun(const std::string& text, const STextSpan& run) {
    const size_t length = run.end - run.begin;
    return length >= kMinCardDigits && length <= kMaxCardDigits &&
           PassesLuhn(text.substr(run.begin, length));
}

// A track without its end sentinel runs to the end of the value it stands in.
size_t TrackEnd(const std::string& text, size_t from) {
    size_t valueEnd = text.find_first_of("&,|\r\n", from);
    if (valueEnd == std::string::npos) {
        valueEnd = text.size();
    }
    const size_t sentinel = text.find('?', from);
    return sentinel < valueEnd ? sentinel + 1 : valueEnd;
}

// Track 1 opens with "%B" and the card's first digit, which also read as an escaped byte: the card
// then begins at that digit.
STextSpan Track1Card(const std::string& text, const STextSpan& run) {
    const size_t escape = run.begin >= kEscapeSize ? run.begin - kEscapeSize : std::string::npos;
    if (escape != std::string::npos && IsEscapeAt(text, escape) &&
        (text[escape + 1] == 'B' || text[escape + 1] == 'b') && IsDigit(text[run.begin - 1])) {
        return {run.begin - 1, run.end};
    }
    return run;
}

bool IsTrack2Expiry(const std::string& text, size_t separator) {
    if (separator >= text.size() || text[separator] != '=' ||
        text.size() - separator - 1 < kExpiryDigits) {
        return false;
    }
    for (size_t i = 1; i <= kExpiryDigits; ++i) {
        if (!IsDigit(text[separator + i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsCardNumber(const std::string& value) {
    if (value.empty() || !IsDigit(value.front()) || !IsDigit(value.back())) {
        return false;
    }
    std::string digits;
    for (size_t i = 0; i < value.size(); ++i) {
        if (IsDigit(value[i])) {
            digits += value[i];
        } else if (!IsSeparator(value[i]) || IsSeparator(value[i + 1])) {
            return false;
        }
    }
    return digits.size() >= kMinCardDigits && digits.size() <= kMaxCardDigits && PassesLuhn(digits);
}

std::string MaskCardNumber(const std::string& value) {
    std::string masked = value;
    size_t visible = 0;
    for (size_t at = masked.size(); at-- > 0;) {
        if (at + 1 >= kEscapedBlankSize && IsEscapedBlankAt(masked, at + 1 - kEscapedBlankSize)) {
            at -= kEscapedBlankSize - 1;
        } else if (IsDigit(masked[at]) && visible++ >= kVisibleCardDigits) {
            masked[at] = 'X';
        }
    }
    return masked;
}

std::vector<STextSpan> FindCardNumbers(const std::string& text) {
    const std::vector<STextSpan> runs = DigitRuns(text);
    std::vector<STextSpan> cards;
    for (size_t first = 0; first < runs.size(); ++first) {
        std::string digits;
        for (size_t last = first; last < runs.size(); ++last) {
            if (last > first) {
                const size_t separator = SeparatorAt(text, runs[last - 1].end);
                if (separator == 0 || runs[last].begin != runs[last - 1].end + separator) {
                    break;
                }
            }
            digits.append(text, runs[last].begin, runs[last].end - runs[last].begin);
            if (digits.size() > kMaxCardDigits) {
                break;
            }
            if (digits.size() >= kMinCardDigits && PassesLuhn(digits)) {
                cards.push_back({runs[first].begin, runs[last].end});
            }
        }
    }
    return cards;
}

std::vector<STextSpan> FindTrackData(const std::string& text) {
    std::vector<STextSpan> tracks;
    for (const STextSpan& run : DigitRuns(text)) {
        if (IsCardRun(text, run) && IsTrack2Expiry(text, run.end)) {
            const size_t begin =
                run.begin > 0 && text[run.begin - 1] == ';' ? run.begin - 1 : run.begin;
            tracks.push_back({begin, TrackEnd(text, run.end)});
            continue;
        }
        const STextSpan card = Track1Card(text, run);
        if (IsCardRun(text, card) && card.begin > 0 &&
            (text[card.begin - 1] == 'B' || text[card.begin - 1] == 'b') &&
            card.end < text.size() && text[card.end] == '^') {
            size_t begin = card.begin - 1;
            if (begin > 0 && text[begin - 1] == '%') {
                --begin;
            }
            tracks.push_back({begin, TrackEnd(text, card.end)});
        }
    }
    return tracks;
}

bool IsTrackData(const std::string& value) {
    return !FindTrackData(value).empty();
}
