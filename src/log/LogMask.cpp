#include "log/LogMask.h"

#include <algorithm>
#include <string_view>

#include "log/CardNumbers.h"
#include "log/Escapes.h"
#include "wire/LengthTag.h"

namespace {

// What may stand before a parameter's name in a log line: the indentation, the separators of a
// request or an answer, the line ends of an answer of several lines, the "=" of "all=" and
// "pairs=". A name that merely ends in the secret's name (remotepassword for password) is another
// parameter.
constexpr std::string_view kNameBoundaries = " \t&|,?;=\r\n";

// A "+" reads as a blank in a form, so a decoded line reads every "+" so, and a secret too.
char Folded(char c) {
    return c == '+' ? ' ' : c;
}

}  // namespace

void CLogMask::AddRule(std::vector<std::string> names, const std::string& secret,
                       const std::string& masked) {
    if (secret.empty()) {
        return;
    }
    std::string decoded = secret;
    std::transform(decoded.begin(), decoded.end(), decoded.begin(), Folded);
    SRule rule{std::move(names), CTextSearch(secret), masked, CTextSearch(std::move(decoded))};
    const auto place = std::upper_bound(
        m_Rules.begin(), m_Rules.end(), secret.size(),
        [](size_t size, const SRule& other) { return size > other.secret.Pattern().size(); });
    m_Rules.insert(place, std::move(rule));
}

void CLogMask::AddValue(const std::string& name, const std::string& secret,
                        const std::string& masked) {
    std::vector<std::string> names = {name};
    // A name the caller tagged ("PWD[8]") is the untagged name to a parser that reads the tag.
    if (const auto tag = ReadLengthTag(name)) {
        names.emplace_back(tag->name);
    }
    AddRule(std::move(names), secret, masked);
}

void CLogMask::AddAnywhere(const std::string& secret, const std::string& masked) {
    AddRule({}, secret, masked);
}

bool CLogMask::NameEndsAt(const std::string& line, size_t end, const std::string& name) {
    if (end < name.size() || line.compare(end - name.size(), name.size(), name) != 0) {
        return false;
    }
    const size_t start = end - name.size();
    return start == 0 || kNameBoundaries.find(line[start - 1]) != std::string_view::npos;
}

bool CLogMask::IsValueOf(const std::string& line, size_t at, const std::string& name) {
    if (at == 0 || line[at - 1] != '=') {
        return false;
    }
    const size_t nameEnd = at - 1;
    if (NameEndsAt(line, nameEnd, name)) {
        return true;
    }
    const auto tag = ReadLengthTag(std::string_view(line).substr(0, nameEnd));
    return tag && NameEndsAt(line, tag->name.size(), name);
}

bool CLogMask::EndsValue(const std::string& line, size_t end) {
    return end == line.size() || line[end] == '&' || line[end] == ',' || line[end] == '|' ||
           line[end] == '\r' || line[end] == '\n';
}

CLogMask::SDecodedLine CLogMask::Decode(const std::string& line) {
    SDecodedLine decoded;
    decoded.text.reserve(line.size());
    decoded.from.reserve(line.size() + 1);
    for (size_t at = 0; at < line.size();) {
        decoded.from.push_back(at);
        const bool escape = IsEscapeAt(line, at);
        decoded.text += Folded(escape ? EscapedByte(line, at) : line[at]);
        at += escape ? kEscapeSize : 1;
    }
    decoded.from.push_back(line.size());
    return decoded;
}

std::string CLogMask::EscapedMask(const std::string& line, const SDecodedLine& decoded, size_t at,
                                  const SRule& rule) {
    // Only a mask as long as its secret says which characters it keeps (a card number's
    // separators and last digits); those stay as the line wrote them, "%20" or "+".
    const std::string& secret = rule.secret.Pattern();
    if (rule.masked.size() != secret.size()) {
        return rule.masked;
    }
    std::string masked;
    for (size_t i = 0; i < rule.masked.size(); ++i) {
        if (rule.masked[i] == secret[i]) {
            masked.append(line, decoded.from[at + i],
                          decoded.from[at + i + 1] - decoded.from[at + i]);
        } else {
            masked += rule.masked[i];
        }
    }
    return masked;
}

std::string CLogMask::Apply(const std::string& line) const {
    std::vector<SSpan> found;
    // The spans one search found begin here, each after the one before. A secret that overlaps
    // itself where it stands (one byte again and again) goes under one kHiddenValue as it is
    // found, so that a long line of it makes no more spans than copies of it fit in the line.
    size_t searchBegins = 0;
    const auto claim = [&](size_t begin, size_t end, const auto& replacement) {
        if (found.size() > searchBegins && begin < found.back().end) {
            found.back().end = std::max(found.back().end, end);
            found.back().replacement = kHiddenValue;
        } else {
            found.push_back({begin, end, replacement()});
        }
    };
    // Decoding changes nothing in a line without an escape or a "+".
    const bool escaped = line.find('%') != std::string::npos || line.find('+') != std::string::npos;
    const SDecodedLine decoded = escaped ? Decode(line) : SDecodedLine();
    for (const SRule& rule : m_Rules) {
        const auto stands = [&](size_t at, size_t end) {
            return rule.names.empty() ||
                   (EndsValue(line, end) &&
                    std::any_of(rule.names.begin(), rule.names.end(), [&](const std::string& name) {
                        return IsValueOf(line, at, name);
                    }));
        };
        const std::string& secret = rule.secret.Pattern();
        searchBegins = found.size();
        rule.secret.ForEach(line, [&](size_t at) {
            const size_t end = at + secret.size();
            if (stands(at, end)) {
                claim(at, end, [&] { return rule.masked; });
            }
        });
        if (!escaped) {
            continue;
        }
        const size_t decodedSize = rule.decoded.Pattern().size();
        searchBegins = found.size();
        rule.decoded.ForEach(decoded.text, [&](size_t at) {
            const size_t begin = decoded.from[at];
            const size_t end = decoded.from[at + decodedSize];
            // As it stands, the secret was found above.
            if (line.compare(begin, end - begin, secret) != 0 && stands(begin, end)) {
                claim(begin, end, [&] { return EscapedMask(line, decoded, at, rule); });
            }
        });
    }
    const SCardData cardData = FindCardData(line);
    for (const STextSpan& track : cardData.tracks) {
        found.push_back({track.begin, track.end, kHiddenValue});
    }
    for (const STextSpan& card : cardData.cards) {
        found.push_back(
            {card.begin, card.end, MaskCardNumber(line.substr(card.begin, card.end - card.begin))});
    }
    for (const STextSpan& cards : cardData.overlappingCards) {
        found.push_back({cards.begin, cards.end, kHiddenValue});
    }
    if (found.empty()) {
        return line;
    }

    // In the order they begin, the longer first where two begin together and the first found
    // where two are the same, one pass keeps a span that stands alone, drops one that the span
    // before holds, and joins one that overlaps it: a long answer can hold a great many.
    // Card numbers alone, the spans of a long answer, are found in that order already.
    const auto before = [](const SSpan& a, const SSpan& b) {
        return a.begin != b.begin ? a.begin < b.begin : a.end > b.end;
    };
    if (!std::is_sorted(found.begin(), found.end(), before)) {
        std::stable_sort(found.begin(), found.end(), before);
    }
    size_t claimed = 0;
    // A card number's mask shows its last four digits and its separators as written, so a span
    // it holds that has none of the digits it hides (a secret of its last digits) would stand in
    // it whole: then it goes under kHiddenValue. Those digits are worked out once for a span.
    std::vector<STextSpan> hidden;
    size_t hiddenOf = found.size();
    for (size_t at = 1; at < found.size(); ++at) {
        SSpan& last = found[claimed];
        if (last.end <= found[at].begin) {
            if (++claimed != at) {
                found[claimed] = std::move(found[at]);
            }
        } else if (last.end < found[at].end) {
            last.end = found[at].end;
            last.replacement = kHiddenValue;
        } else if (last.replacement != kHiddenValue) {
            if (hiddenOf != claimed) {
                const std::string text = line.substr(last.begin, last.end - last.begin);
                hidden = last.replacement == MaskCardNumber(text)
                             ? HiddenDigits(text)
                             : std::vector<STextSpan>{{0, text.size()}};
                hiddenOf = claimed;
            }
            const size_t begin = found[at].begin - last.begin;
            const size_t end = found[at].end - last.begin;
            if (std::none_of(hidden.begin(), hidden.end(), [&](const STextSpan& digit) {
                    return digit.begin < end && begin < digit.end;
                })) {
                last.replacement = kHiddenValue;
            }
        }
    }
    found.resize(claimed + 1);
    std::string out;
    out.reserve(line.size());
    size_t copied = 0;
    for (const SSpan& span : found) {
        out.append(line, copied, span.begin - copied);
        out += span.replacement;
        copied = span.end;
    }
    out.append(line, copied, std::string::npos);
    // Hiding a secret can leave digits that stood beside it a card number of their own, and a
    // masked number's last four digits can make one with the groups after them.
    return MaskCardNumberStretches(out);
}
