#include "gateway/CardData.h"

#include <algorithm>

#include "gateway/AuthBase.h"
#include "gateway/URLEscape.h"
#include "util/Text.h"

namespace {

constexpr const char* kSecretNameParts[] = {
    "card_num",  "cardnumber", "card_no",  "ccnumber", "acct",  "cvv",  "cv2",
    "card_code", "pwd",        "password", "key",      "track", "swipe"};
constexpr char kHiddenValue[] = "********";
constexpr size_t kMinCardDigits = 13;
constexpr size_t kMaxCardDigits = 19;
constexpr size_t kVisibleCardDigits = 4;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsSeparator(char c) {
    return c == ' ' || c == '-';
}

}  // namespace

bool IsSecretParameterName(const std::string& name) {
    const std::string lower = LowerCase(name);
    return std::any_of(std::begin(kSecretNameParts), std::end(kSecretNameParts),
                       [&](const char* part) { return lower.find(part) != std::string::npos; });
}

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
    if (digits.size() < kMinCardDigits || digits.size() > kMaxCardDigits) {
        return false;
    }
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

std::string MaskCardNumber(const std::string& value) {
    std::string masked = value;
    size_t visible = 0;
    for (auto it = masked.rbegin(); it != masked.rend(); ++it) {
        if (IsDigit(*it) && visible++ >= kVisibleCardDigits) {
            *it = 'X';
        }
    }
    return masked;
}

CLogMask BuildLogMask(const std::map<std::string, std::string>& params, bool escaped) {
    CLogMask mask;
    for (const auto& [name, value] : params) {
        const bool card = IsCardNumber(value);
        if (!card && !IsSecretParameterName(name)) {
            continue;
        }
        const std::string masked = card ? MaskCardNumber(value) : kHiddenValue;
        const std::string escapedValue = URLEscape(value.c_str(), kEscapeOutputSize);
        const std::string escapedMasked = URLEscape(masked.c_str(), kEscapeOutputSize);
        if (card) {
            mask.AddAnywhere(value, masked);
            if (escaped) {
                mask.AddAnywhere(escapedValue, escapedMasked);
            }
        } else {
            mask.AddValue(name, value, masked);
            if (escaped) {
                mask.AddValue(name, escapedValue, escapedMasked);
            }
        }
    }
    return mask;
}
