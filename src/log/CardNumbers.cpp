#include "log/CardNumbers.h"

#include <algorithm>

#include "log/Escapes.h"

namespace {

constexpr size_t kMinCardDigits = 13;
constexpr size_t kMaxCardDigits = 19;
constexpr size_t kVisibleCardDigits = 4;
constexpr size_t kExpiryDigits = 4;
constexpr char kMaskedDigit = 'X';
// The non-breaking spaces that may stand between two groups of a card number's digits, like a
// blank, as the host's native encodings write them: Windows-1252's one byte, Mac Roman's, and
// UTF-8's two, the second of them Windows-1252's.
constexpr char kWindowsNonBreaking = '\xA0';
constexpr char kMacNonBreaking = '\xCA';
constexpr char kUtf8NonBreakingLead = '\xC2';
// Where a track without its end sentinel ends: the end of the value it stands in.
constexpr char kTrackEnds[] = "?&,|\r\n";
constexpr char kTrackEndSentinel = '?';

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsSeparatorByte(char c) {
    switch (c) {
        case ' ':
        case '\t':
        case '-':
        case '+':
        case '.':
        case kWindowsNonBreaking:
        case kMacNonBreaking:
            return true;
        default:
            return false;
    }
}

// How a "%" and two hexadecimal digits read. A line holds text as it was given, where "%" is a
// character like any other ("5%4111…", track 1's "%B4111…"), or as a request escapes it, where
// "%23" is one byte and its digits are no card's ("#4111…" as "%234111…"). Which it is cannot be
// told, so a card number is looked for in both readings. An escaped separator reads as one in
// both: a request writes a blank as %20 whatever else the text holds.
enum class EPercent { Character, Escape };

// One byte of the text as a reading reads it, and how many bytes of the text it takes.
struct SUnit {
    char byte;
    size_t size;
};

SUnit UnitAt(const std::string& text, size_t at, EPercent percent) {
    if (text[at] != '%') {
        return {text[at], 1};
    }
    if (IsEscapeAt(text, at)) {
        const char byte = EscapedByte(text, at);
        if (percent == EPercent::Escape || IsSeparatorByte(byte)) {
            return {byte, kEscapeSize};
        }
    }
    return {text[at], 1};
}

// The length of the separator that begins with `unit` at `at`; 0 where none does.
size_t SeparatorAt(const std::string& text, size_t at, const SUnit& unit, EPercent percent) {
    if (IsSeparatorByte(unit.byte)) {
        return unit.size;
    }
    if (unit.byte == kUtf8NonBreakingLead && at + unit.size < text.size()) {
        const SUnit trail = UnitAt(text, at + unit.size, percent);
        if (trail.byte == kWindowsNonBreaking) {
            return unit.size + trail.size;
        }
    }
    return 0;
}

struct SRun {
    size_t begin;
    size_t end;
    bool joined;  // to the run before it, by separators alone
    size_t digitCount;
    char digits[kMaxCardDigits];  // the first of them, all that a card number can hold
};

// Calls visit(run) for every run of digits of one reading, in order, as it is read: nothing but
// the run at hand is kept, however long the text.
template <class TVisit>
void ForEachRun(const std::string& text, EPercent percent, TVisit visit) {
    SRun run{};
    bool inRun = false;
    // Only separators since the last run ended.
    bool joinable = false;
    for (size_t at = 0; at < text.size();) {
        const SUnit unit = text[at] == '%' ? UnitAt(text, at, percent) : SUnit{text[at], 1};
        if (IsDigit(unit.byte)) {
            if (!inRun) {
                run = SRun{at, at, joinable, 0, {}};
                inRun = true;
            }
            if (run.digitCount < kMaxCardDigits) {
                run.digits[run.digitCount] = unit.byte;
            }
            ++run.digitCount;
            run.end = at + unit.size;
            joinable = true;
            at += unit.size;
            continue;
        }
        if (inRun) {
            visit(run);
            inRun = false;
        }
        const size_t separator = SeparatorAt(text, at, unit, percent);
        joinable = joinable && separator > 0;
        at += separator > 0 ? separator : unit.size;
    }
    if (inRun) {
        visit(run);
    }
}

// Calls visit(percent) for each way the text reads; a text without "%" reads one way only.
template <class TVisit>
void ForEachReading(const std::string& text, TVisit visit) {
    visit(EPercent::Character);
    if (text.find('%') != std::string::npos) {
        visit(EPercent::Escape);
    }
}

// The Luhn check, fed a number's digits from its last one back.
class CLuhnSum {
public:
    void Prepend(const SRun& run) {
        for (size_t i = run.digitCount; i-- > 0;) {
            const int value = run.digits[i] - '0';
            const int weighed = m_Count++ % 2 == 1 ? value * 2 : value;
            m_Sum += weighed > 9 ? weighed - 9 : weighed;
        }
    }
    bool IsCardNumber() const {
        return m_Count >= kMinCardDigits && m_Count <= kMaxCardDigits && m_Sum % 10 == 0;
    }

private:
    int m_Sum = 0;
    size_t m_Count = 0;
};

// The runs a card number that ends with the newest one can begin with: those joined to it, back
// as far as a card number's digits reach, so never more than a few.
class CCardWindow {
public:
    // Takes the next run and calls found(begin) for every card number of whole runs that ends
    // with it, `begin` where it begins.
    template <class TFound>
    void Add(const SRun& run, TFound found) {
        if (!run.joined) {
            m_Runs.clear();
            m_Digits = 0;
        }
        m_Runs.push_back(run);
        m_Digits += run.digitCount;
        while (m_Digits > kMaxCardDigits && !m_Runs.empty()) {
            m_Digits -= m_Runs.front().digitCount;
            m_Runs.erase(m_Runs.begin());
        }
        CLuhnSum sum;
        for (size_t first = m_Runs.size(); first-- > 0;) {
            sum.Prepend(m_Runs[first]);
            if (sum.IsCardNumber()) {
                found(m_Runs[first].begin);
            }
        }
    }

private:
    std::vector<SRun> m_Runs;
    size_t m_Digits = 0;
};

bool IsCardRun(const SRun& run) {
    if (run.digitCount > kMaxCardDigits) {
        return false;
    }
    CLuhnSum sum;
    sum.Prepend(run);
    return sum.IsCardNumber();
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

// The tracks of one reading, run by run.
class CTrackFinder {
public:
    explicit CTrackFinder(const std::string& text) : m_Text(text) {}

    void Add(const SRun& run, std::vector<STextSpan>& tracks) {
        if (!IsCardRun(run)) {
            return;
        }
        if (IsTrack2Expiry(m_Text, run.end)) {
            const size_t begin =
                run.begin > 0 && m_Text[run.begin - 1] == ';' ? run.begin - 1 : run.begin;
            tracks.push_back({begin, End(run.end)});
        } else if (run.begin > 0 &&
                   (m_Text[run.begin - 1] == 'B' || m_Text[run.begin - 1] == 'b') &&
                   run.end < m_Text.size() && m_Text[run.end] == '^') {
            size_t begin = run.begin - 1;
            if (begin > 0 && m_Text[begin - 1] == '%') {
                --begin;
            }
            tracks.push_back({begin, End(run.end)});
        }
    }

private:
    // Tracks come in the order they begin, so one search for where a value ends serves every
    // track that begins before the place it found.
    size_t End(size_t from) {
        if (!m_StopFound || from > m_Stop) {
            m_Stop = std::min(m_Text.find_first_of(kTrackEnds, from), m_Text.size());
            m_StopFound = true;
        }
        return m_Stop < m_Text.size() && m_Text[m_Stop] == kTrackEndSentinel ? m_Stop + 1 : m_Stop;
    }

    const std::string& m_Text;
    size_t m_Stop = 0;
    bool m_StopFound = false;
};

// Calls visit(digit) for every digit of a card number but the last four, in order, an escaped
// digit (%34) with its escape.
template <class TVisit>
void ForEachHiddenDigit(const std::string& value, TVisit visit) {
    const auto unitAt = [&](size_t at) {
        return value[at] == '%' ? UnitAt(value, at, EPercent::Escape) : SUnit{value[at], 1};
    };
    size_t digits = 0;
    for (size_t at = 0; at < value.size();) {
        const SUnit unit = unitAt(at);
        digits += IsDigit(unit.byte) ? 1 : 0;
        at += unit.size;
    }
    size_t hidden = digits > kVisibleCardDigits ? digits - kVisibleCardDigits : 0;
    for (size_t at = 0; at < value.size() && hidden > 0;) {
        const SUnit unit = unitAt(at);
        if (IsDigit(unit.byte)) {
            visit(STextSpan{at, at + unit.size});
            --hidden;
        }
        at += unit.size;
    }
}

}  // namespace

bool IsCardNumber(const std::string& value) {
    const std::vector<STextSpan> cards = FindCardNumbers(value);
    return std::any_of(cards.begin(), cards.end(), [&](const STextSpan& card) {
        return card.begin == 0 && card.end == value.size();
    });
}

std::vector<STextSpan> HiddenDigits(const std::string& value) {
    std::vector<STextSpan> digits;
    ForEachHiddenDigit(value, [&](const STextSpan& digit) { digits.push_back(digit); });
    return digits;
}

std::string MaskCardNumber(const std::string& value) {
    std::string masked;
    masked.reserve(value.size());
    size_t copied = 0;
    ForEachHiddenDigit(value, [&](const STextSpan& digit) {
        masked.append(value, copied, digit.begin - copied);
        masked += kMaskedDigit;
        copied = digit.end;
    });
    return masked.append(value, copied, std::string::npos);
}

std::vector<STextSpan> FindCardNumbers(const std::string& text) {
    std::vector<STextSpan> cards;
    ForEachReading(text, [&](EPercent percent) {
        CCardWindow window;
        ForEachRun(text, percent, [&](const SRun& run) {
            window.Add(run, [&](size_t begin) { cards.push_back({begin, run.end}); });
        });
    });
    return cards;
}

std::string MaskCardNumberStretches(const std::string& text) {
    // Few lines hold a card number once masked: those that hold none are read once and kept.
    bool holdsCard = false;
    ForEachReading(text, [&](EPercent percent) {
        CCardWindow window;
        ForEachRun(text, percent,
                   [&](const SRun& run) { window.Add(run, [&](size_t) { holdsCard = true; }); });
    });
    if (!holdsCard) {
        return text;
    }
    struct SStretch {
        size_t begin;
        size_t end;
        bool holdsCard;
    };
    // The stretches of both readings in the order they begin. Where two overlap, masking one
    // changes how the other reads, so overlapping stretches are masked as one.
    std::vector<SStretch> stretches;
    ForEachReading(text, [&](EPercent percent) {
        const size_t readingBegins = stretches.size();
        CCardWindow window;
        ForEachRun(text, percent, [&](const SRun& run) {
            if (run.joined) {
                stretches.back().end = run.end;
            } else {
                stretches.push_back({run.begin, run.end, false});
            }
            window.Add(run, [&](size_t) { stretches.back().holdsCard = true; });
        });
        std::inplace_merge(stretches.begin(),
                           stretches.begin() + static_cast<std::ptrdiff_t>(readingBegins),
                           stretches.end(),
                           [](const SStretch& a, const SStretch& b) { return a.begin < b.begin; });
    });
    std::string out;
    out.reserve(text.size());
    size_t copied = 0;
    for (size_t at = 0; at < stretches.size();) {
        SStretch joined = stretches[at];
        for (++at; at < stretches.size() && stretches[at].begin < joined.end; ++at) {
            joined.end = std::max(joined.end, stretches[at].end);
            joined.holdsCard = joined.holdsCard || stretches[at].holdsCard;
        }
        if (joined.holdsCard) {
            out.append(text, copied, joined.begin - copied);
            out += MaskCardNumber(text.substr(joined.begin, joined.end - joined.begin));
            copied = joined.end;
        }
    }
    out.append(text, copied, std::string::npos);
    return out;
}

std::vector<STextSpan> FindTrackData(const std::string& text) {
    return FindCardData(text).tracks;
}

bool IsTrackData(const std::string& value) {
    return !FindTrackData(value).empty();
}

SCardData FindCardData(const std::string& text) {
    SCardData found;
    ForEachReading(text, [&](EPercent percent) {
        // Card numbers come in the order they end; one that overlaps those before it joins them
        // as it is found, so that a long stretch of digits where every few make a card number
        // comes out as one span.
        struct SCard {
            STextSpan span;
            bool overlaps;
        };
        std::vector<SCard> cards;
        CCardWindow window;
        CTrackFinder tracks(text);
        ForEachRun(text, percent, [&](const SRun& run) {
            window.Add(run, [&](size_t begin) {
                SCard card{{begin, run.end}, false};
                while (!cards.empty() && card.span.begin < cards.back().span.end) {
                    card.span.begin = std::min(card.span.begin, cards.back().span.begin);
                    card.overlaps = true;
                    cards.pop_back();
                }
                cards.push_back(card);
            });
            tracks.Add(run, found.tracks);
        });
        for (const SCard& card : cards) {
            (card.overlaps ? found.overlappingCards : found.cards).push_back(card.span);
        }
    });
    return found;
}
