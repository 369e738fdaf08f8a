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
    SRule rule{std::move(names), secret, masked, secret};
    std::transform(rule.decoded.begin(), rule.decoded.end(), rule.decoded.begin(), Folded);
    const auto place = std::upper_bound(
        m_Rules.begin(), m_Rules.end(), rule.secret.size(),
        [](size_t size, const SRule& other) { return size > other.secret.size(); });
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
    if (rule.masked.size() != rule.secret.size()) {
        return rule.masked;
    }
    std::string masked;
    for (size_t i = 0; i < rule.masked.size(); ++i) {
        if (rule.masked[i] == rule.secret[i]) {
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
    // Decoding changes nothing in a line without an escape or a "+".
    const bool escaped = line.find_first_of("%+") != std::string::npos;
    const SDecodedLine decoded = escaped ? Decode(line) : SDecodedLine();
    for (const SRule& rule : m_Rules) {
        const auto stands = [&](size_t at, size_t end) {
            return rule.names.empty() ||
                   (EndsValue(line, end) &&
                    std::any_of(rule.names.begin(), rule.names.end(), [&](const std::string& name) {
                        return IsValueOf(line, at, name);
                    }));
        };
        for (size_t at = line.find(rule.secret); at != std::string::npos;
             at = line.find(rule.secret, at + 1)) {
            const size_t end = at + rule.secret.size();
            if (stands(at, end)) {
                found.push_back({at, end, rule.masked});
            }
        }
        if (!escaped) {
            continue;
        }
        for (size_t at = decoded.text.find(rule.decoded); at != std::string::npos;
             at = decoded.text.find(rule.decoded, at + 1)) {
            const size_t begin = decoded.from[at];
            const size_t end = decoded.from[at + rule.decoded.size()];
            // As it stands, the secret was found above.
            if (line.compare(begin, end - begin, rule.secret) != 0 && stands(begin, end)) {
                found.push_back({begin, end, EscapedMask(line, decoded, at, rule)});
            }
        }
    }
    for (const STextSpan& track : FindTrackData(line)) {
        found.push_back({track.begin, track.end, kHiddenValue});
    }
    for (const STextSpan& card : FindCardNumbers(line)) {
        found.push_back(
            {card.begin, card.end, MaskCardNumber(line.substr(card.begin, card.end - card.begin))});
    }
    if (found.empty()) {
        return line;
    }

    // In the order they begin, the longer first where two begin together and the first found
    // where two are the same, one pass keeps a span that stands alone, drops one that the span
    // before holds, and joins one that overlaps it: a long answer can hold a great many.
    std::stable_sort(found.begin(), found.end(), [](const SSpan& a, const SSpan& b) {
        return a.begin != b.begin ? a.begin < b.begin : a.end > b.end;
    });
    std::vector<SSpan> claimed;
    for (SSpan& span : found) {
        if (claimed.empty() || claimed.back().end <= span.begin) {
            claimed.push_back(std::move(span));
        } else if (claimed.back().end < span.end) {
            claimed.back().end = span.end;
            claimed.back().replacement = kHiddenValue;
        }
    }
    std::string out;
    size_t copied = 0;
    for (const SSpan& span : claimed) {
        out.append(line, copied, span.begin - copied);
        out += span.replacement;
        copied = span.end;
    }
    out.append(line, copied, std::string::npos);
    // Hiding a secret can leave digits that stood beside it a card number of their own, with
    // nothing after them to make the run too long; a card number the masked line shows is hidden
    // as well, until it shows none. Each round hides digits, so the rounds end.
    for (std::vector<STextSpan> cards = FindCardNumbers(out); !cards.empty();
         cards = FindCardNumbers(out)) {
        for (const STextSpan& card : cards) {
            out.replace(card.begin, card.end - card.begin,
                        MaskCardNumber(out.substr(card.begin, card.end - card.begin)));
        }
    }
    return out;
}
