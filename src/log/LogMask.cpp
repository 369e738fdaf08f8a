#include "log/LogMask.h"

#include <algorithm>

void CLogMask::AddValue(const std::string& name, const std::string& secret,
                        const std::string& masked) {
    if (!secret.empty()) {
        m_Rules.push_back({name, secret, masked});
    }
}

void CLogMask::AddAnywhere(const std::string& secret, const std::string& masked) {
    if (!secret.empty()) {
        m_Rules.push_back({std::string(), secret, masked});
    }
}

bool CLogMask::IsValueOf(const std::string& line, size_t at, const std::string& name) {
    if (at == 0 || line[at - 1] != '=') {
        return false;
    }
    size_t nameEnd = at - 1;
    if (nameEnd > 0 && line[nameEnd - 1] == ']') {
        const size_t open = line.rfind('[', nameEnd - 1);
        if (open == std::string::npos ||
            !std::all_of(line.begin() + open + 1, line.begin() + nameEnd - 1,
                         [](char c) { return c >= '0' && c <= '9'; })) {
            return false;
        }
        nameEnd = open;
    }
    return nameEnd >= name.size() && line.compare(nameEnd - name.size(), name.size(), name) == 0;
}

bool CLogMask::EndsValue(const std::string& line, size_t end) {
    return end == line.size() || line[end] == '&' || line[end] == ',' || line[end] == '|';
}

std::string CLogMask::Apply(const std::string& line) const {
    std::string out = line;
    for (const SRule& rule : m_Rules) {
        size_t at = out.find(rule.secret);
        while (at != std::string::npos) {
            const size_t end = at + rule.secret.size();
            if (rule.name.empty() || (IsValueOf(out, at, rule.name) && EndsValue(out, end))) {
                out.replace(at, rule.secret.size(), rule.masked);
                at = out.find(rule.secret, at + rule.masked.size());
            } else {
                at = out.find(rule.secret, at + 1);
            }
        }
    }
    return out;
}
