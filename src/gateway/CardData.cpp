#include "gateway/CardData.h"

#include <algorithm>
#include <cctype>

#include "gateway/AuthBase.h"
#include "gateway/URLEscape.h"
#include "util/Text.h"

namespace {

constexpr const char* kSecretNameParts[] = {
    "card_num",  "cardnumber", "card_no",  "ccnumber", "acct",  "cvv",  "cv2",
    "card_code", "pwd",        "password", "key",      "track", "swipe"};

bool IsWordCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

bool HoldsWord(const std::string& text, const std::string& word) {
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const size_t end = at + word.size();
        if ((at == 0 || !IsWordCharacter(text[at - 1])) &&
            (end == text.size() || !IsWordCharacter(text[end]))) {
            return true;
        }
    }
    return false;
}

std::string EscapedName(const std::string& name) {
    return URLEscape(name.c_str(), static_cast<int>(name.size()) + 1);
}

}  // namespace

bool IsSecretParameterName(const std::string& name, const char* const* gatewayNames) {
    const std::string lower = LowerCase(name);
    if (std::any_of(std::begin(kSecretNameParts), std::end(kSecretNameParts),
                    [&](const char* part) { return lower.find(part) != std::string::npos; })) {
        return true;
    }
    for (size_t i = 0; gatewayNames != nullptr && gatewayNames[i] != nullptr; ++i) {
        if (HoldsWord(lower, LowerCase(gatewayNames[i]))) {
            return true;
        }
    }
    return false;
}

CLogMask BuildLogMask(const std::map<std::string, std::string>& params,
                      const char* const* gatewayNames) {
    CLogMask mask;
    for (const auto& [name, value] : params) {
        const bool card = IsCardNumber(value);
        if (!card && !IsTrackData(value) && !IsSecretParameterName(name, gatewayNames)) {
            // The line's own reading finds a card number in a value as written or escaped once;
            // one the caller wrote escaped ("%20" between its groups) the request escapes again.
            if (!FindCardNumbers(value).empty()) {
                mask.AddAnywhere(URLEscape(value.c_str(), kEscapeOutputSize),
                                 URLEscape(CLogMask().Apply(value).c_str(), kEscapeOutputSize));
            }
            continue;
        }
        // The mask finds a value escaped as well as it stands, as a gateway may send it back
        // either way, whether or not it was sent so.
        const std::string masked = card ? MaskCardNumber(value) : kHiddenValue;
        // The request's own escaping is also looked for as written: a "%" just before it in the
        // line can make its first bytes read as another escape once the line is decoded.
        const std::string escapedValue = URLEscape(value.c_str(), kEscapeOutputSize);
        const std::string escapedMasked = URLEscape(masked.c_str(), kEscapeOutputSize);
        if (value.size() >= kMinAnywhereSecret) {
            mask.AddAnywhere(value, masked);
            mask.AddAnywhere(escapedValue, escapedMasked);
            // An escaped request carries a long value cut, and the cut value is as secret.
            const std::string sent = value.substr(0, kEscapeOutputSize - 1);
            if (sent.size() < value.size()) {
                mask.AddAnywhere(sent, kHiddenValue);
            }
            continue;
        }
        for (const std::string& shownName : {name, EscapedName(name)}) {
            mask.AddValue(shownName, value, masked);
            mask.AddValue(shownName, escapedValue, escapedMasked);
        }
    }
    return mask;
}
