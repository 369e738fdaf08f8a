#include "log/LogMask.h"

#include <algorithm>
#include <string_view>

#include "log/CardNumbers.h"

namespace {

// What may stand before a parameter's name in a log line: the indentation, the separators of a
// request or an answer, the "=" of "all=" and "pairs=". A name that merely ends in the secret's
// name (remotepassword for password) is another parameter.
constexpr std::string_view kNameBoundaries = " \t&|,?;=";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The name without a trailing length tag ("PWD" of "PWD[8]"), or empty when it has none.
std::string WithoutLengthTag(const std::string& name) {
    if (name.size() < 3 || name.back() != ']') {
        return std::string();
    }
    const size_t open = name.rfind('[');
    if (open == std::string::npos || open == 0 || open + 2 == name.size() ||
        !std::all_of(name.begin() + open + 1, name.end() - 1, IsDigit)) {
        return std::string();
    }
    return name.substr(0, open);
}

}  // namespace

void CLogMask::AddRule(SRule rule) {
    if (rule.secret.empty()) {
        return;
    }
    const auto place = std::upper_bound(
        m_Rules.begin(), m_Rules.end(), rule.secret.size(),
        [](size_t size, const SRule& other) { return size > other.secret.size(); });
    m_Rules.insert(place, std::move(rule));
}

void CLogMask::AddValue(const std::string& name, const std::string& secret,
                        const std::string& masked) {
    SRule rule{{name}, secret, masked};
    if (const std::string untagged = WithoutLengthTag(name); !untagged.empty()) {
        rule.names.push_back(untagged);
    }
    AddRule(std::move(rule));
}

void CLogMask::AddAnywhere(const std::string& secret, const std::string& masked) {
    AddRule({{}, secret, masked});
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
    if (nameEnd == 0 || line[nameEnd - 1] != ']') {
        return false;
    }
    const size_t open = line.rfind('[', nameEnd - 1);
    return open != std::string::npos && open + 2 < nameEnd &&
           std::all_of(line.begin() + open + 1, line.begin() + nameEnd - 1, IsDigit) &&
           NameEndsAt(line, open, name);
}

bool CLogMask::EndsValue(const std::string& line, size_t end) {
    return end == line.size() || line[end] == '&' || line[end] == ',' || line[end] == '|';
}

void CLogMask::Claim(std::vector<SSpan>& claimed, SSpan span) {
    size_t begin = span.begin;
    size_t end = span.end;
    bool overlaps = false;
    for (auto it = claimed.begin(); it != claimed.end();) {
        if (it->end <= span.begin || span.end <= it->begin) {
            ++it;
            continue;
        }
        if (it->begin <= span.begin && span.end <= it->end) {
            return;
        }
        overlaps = true;
        begin = std::min(begin, it->begin);
        end = std::max(end, it->end);
        it = claimed.erase(it);
    }
    if (overlaps) {
        span = {begin, end, kHiddenValue};
    }
    claimed.push_back(std::move(span));
}

std::string CLogMask::Apply(const std::string& line) const {
    std::vector<SSpan> found;
    for (const SRule& rule : m_Rules) {
        for (size_t at = line.find(rule.secret); at != std::string::npos;
             at = line.find(rule.secret, at + 1)) {
            const size_t end = at + rule.secret.size();
            const bool stands =
                rule.names.empty() ||
                (EndsValue(line, end) &&
                 std::any_of(rule.names.begin(), rule.names.end(),
                             [&](const std::string& name) { return IsValueOf(line, at, name); }));
            if (stands) {
                found.push_back({at, end, rule.masked});
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

    std::stable_sort(found.begin(), found.end(), [](const SSpan& a, const SSpan& b) {
        return a.end - a.begin > b.end - b.begin;
    });
    std::vector<SSpan> claimed;
    for (SSpan& span : found) {
        Claim(claimed, std::move(span));
    }
    std::sort(claimed.begin(), claimed.end(),
              [](const SSpan& a, const SSpan& b) { return a.begin < b.begin; });
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
