// Keeps secrets out of log lines. A transaction logs its parameters, its request text and the
// gateway's answer; card numbers, security codes and passwords must not reach the file in clear.
#ifndef PAYGROVE_LOG_LOGMASK_H
#define PAYGROVE_LOG_LOGMASK_H

#include <string>
#include <vector>

class CLogMask {
public:
    // Masks `secret` where it stands as the value of the parameter `name`: after "name=" or
    // "name[length]=", up to the end of the line or the next "&", "," or "|". A short secret
    // (a security code of three digits, say) is masked there only, so other values that happen
    // to hold the same digits stay readable.
    void AddValue(const std::string& name, const std::string& secret, const std::string& masked);
    // Masks `secret` wherever it occurs: for card numbers, which may be echoed anywhere.
    void AddAnywhere(const std::string& secret, const std::string& masked);

    std::string Apply(const std::string& line) const;
    bool IsEmpty() const { return m_Rules.empty(); }

private:
    struct SRule {
        std::string name;  // empty: anywhere
        std::string secret;
        std::string masked;
    };

    static bool IsValueOf(const std::string& line, size_t at, const std::string& name);
    static bool EndsValue(const std::string& line, size_t end);

    std::vector<SRule> m_Rules;
};

#endif
