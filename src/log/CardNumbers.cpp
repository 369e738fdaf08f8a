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
    size_t firstDigit;  // where its digits begin in SReading::digits
    size_t digitCount;
    bool joined;  // to the run before it, by separators alone
};

// The runs of digits of one reading, and the digits of all of them, read once.
struct SReading {
    std::vector<SRun> runs;
    std::string digits;
};

SReading Read(const std::string& text, EPercent percent) {
    SReading reading;
    // Only separators since the last run ended.
    bool joinable = false;
    for (size_t at = 0; at < text.size();) {
        const SUnit unit = text[at] == '%' ? UnitAt(text, at, percent) : SUnit{text[at], 1};
        if (IsDigit(unit.byte)) {
            if (reading.runs.empty() || reading.runs.back().end != at) {
                reading.runs.push_back({at, at, reading.digits.size(), 0, joinable});
            }
            SRun& run = reading.runs.back();
            reading.digits += unit.byte;
            ++run.digitCount;
            run.end = at + unit.size;
            joinable = true;
            at += unit.size;
            continue;
        }
        const size_t separator = SeparatorAt(text, at, unit, percent);
        joinable = joinable && separator > 0;
        at += separator > 0 ? separator : unit.size;
    }
    return reading;
}

// The runs of each reading; a text without "%" reads one way only.
std::vector<SReading> Readings(const std::string& text) {
    std::vector<SReading> readings;
    readings.push_back(Read(text, EPercent::Character));
    if (text.find('%') != std::string::npos) {
        readings.push_back(Read(text, EPercent::Escape));
    }
    return readings;
}

// The Luhn check, fed a number's digits from its last one back.
class CLuhnSum {
public:
    void Prepend(char digit) {
        const int value = digit - '0';
        const int weighed = m_Count++ % 2 == 1 ? value * 2 : value;
        m_Sum += weighed > 9 ? weighed - 9 : weighed;
    }
    void Prepend(const SReading& reading, const SRun& run) {
        for (size_t i = run.digitCount; i-- > 0;) {
            Prepend(reading.digits[run.firstDigit + i]);
        }
    }
    size_t Count() const { return m_Count; }
    bool IsCardNumber() const {
        return m_Count >= kMinCardDigits && m_Count <= kMaxCardDigits && m_Sum % 10 == 0;
    }

private:
    int m_Sum = 0;
    size_t m_Count = 0;
};

// Calls found(first) for every card number of whole runs from `first` to `last`. The Luhn sum
// runs from the last digit, so it grows run by run back from `last`, and no card number has
// more digits than a few runs hold.
template <class TFound>
void ForEachCardEndingAt(const SReading& reading, size_t last, TFound found) {
    CLuhnSum sum;
    for (size_t first = last + 1; first-- > 0;) {
        const SRun& run = reading.runs[first];
        if (sum.Count() + run.digitCount > kMaxCardDigits) {
            return;
        }
        sum.Prepend(reading, run);
        if (sum.IsCardNumber()) {
            found(first);
        }
        if (!run.joined) {
            return;
        }
    }
}

bool IsCardRun(const SReading& reading, const SRun& run) {
    if (run.digitCount > kMaxCardDigits) {
        return false;
    }
    CLuhnSum sum;
    sum.Prepend(reading, run);
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

// Every track of one reading.
void AddTracks(const std::string& text, const SReading& reading, std::vector<STextSpan>& tracks) {
    // Tracks are looked for in the order they begin, so one search for where a value ends
    // serves every track that begins before the place it found.
    size_t stop = 0;
    bool stopFound = false;
    const auto trackEnd = [&](size_t from) {
        if (!stopFound || from > stop) {
            stop = std::min(text.find_first_of(kTrackEnds, from), text.size());
            stopFound = true;
        }
        return stop < text.size() && text[stop] == kTrackEndSentinel ? stop + 1 : stop;
    };
    for (const SRun& run : reading.runs) {
        if (!IsCardRun(reading, run)) {
            continue;
        }
        if (IsTrack2Expiry(text, run.end)) {
            const size_t begin =
                run.begin > 0 && text[run.begin - 1] == ';' ? run.begin - 1 : run.begin;
            tracks.push_back({begin, trackEnd(run.end)});
        } else if (run.begin > 0 && (text[run.begin - 1] == 'B' || text[run.begin - 1] == 'b') &&
                   run.end < text.size() && text[run.end] == '^') {
            size_t begin = run.begin - 1;
            if (begin > 0 && text[begin - 1] == '%') {
                --begin;
            }
            tracks.push_back({begin, trackEnd(run.end)});
        }
    }
}

}  // namespace

bool IsCardNumber(const std::string& value) {
    const std::vector<STextSpan> cards = FindCardNumbers(value);
    return std::any_of(cards.begin(), cards.end(), [&](const STextSpan& card) {
        return card.begin == 0 && card.end == value.size();
    });
}

std::string MaskCardNumber(const std::string& value) {
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
    // An escaped digit becomes one X, so the mask is never longer than the number.
    std::string masked = value;
    size_t written = 0;
    for (size_t at = 0; at < value.size();) {
        const SUnit unit = unitAt(at);
        if (IsDigit(unit.byte) && hidden > 0) {
            --hidden;
            masked[written++] = kMaskedDigit;
        } else {
            std::copy_n(value.begin() + static_cast<std::ptrdiff_t>(at), unit.size,
                        masked.begin() + static_cast<std::ptrdiff_t>(written));
            written += unit.size;
        }
        at += unit.size;
    }
    masked.resize(written);
    return masked;
}

std::vector<STextSpan> FindCardNumbers(const std::string& text) {
    return FindCardData(text).cards;
}

std::string MaskCardNumberStretches(const std::string& text) {
    const std::vector<SReading> readings = Readings(text);
    const auto holdsCard = [](const SReading& reading) {
        bool card = false;
        for (size_t last = 0; last < reading.runs.size() && !card; ++last) {
            ForEachCardEndingAt(reading, last, [&](size_t) { card = true; });
        }
        return card;
    };
    if (std::none_of(readings.begin(), readings.end(), holdsCard)) {
        return text;
    }
    struct SStretch {
        size_t begin;
        size_t end;
        bool holdsCard;
    };
    // The stretches of both readings in the order they begin. Where they overlap, masking one
    // changes how the other reads, so overlapping stretches are masked as one.
    std::vector<SStretch> stretches;
    for (const SReading& reading : readings) {
        const size_t readingBegins = stretches.size();
        for (size_t last = 0; last < reading.runs.size(); ++last) {
            const SRun& run = reading.runs[last];
            if (run.joined) {
                stretches.back().end = run.end;
            } else {
                stretches.push_back({run.begin, run.end, false});
            }
            ForEachCardEndingAt(reading, last, [&](size_t) { stretches.back().holdsCard = true; });
        }
        std::inplace_merge(stretches.begin(),
                           stretches.begin() + static_cast<std::ptrdiff_t>(readingBegins),
                           stretches.end(),
                           [](const SStretch& a, const SStretch& b) { return a.begin < b.begin; });
    }
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
    for (const SReading& reading : Readings(text)) {
        for (size_t last = 0; last < reading.runs.size(); ++last) {
            ForEachCardEndingAt(reading, last, [&](size_t first) {
                found.cards.push_back({reading.runs[first].begin, reading.runs[last].end});
            });
        }
        AddTracks(text, reading, found.tracks);
    }
    return found;
}
