#include "wire/LengthTag.h"

#include <limits>

namespace {

constexpr size_t kPastAnyText = std::numeric_limits<size_t>::max();

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<SLengthTag> ReadLengthTag(std::string_view taggedName) {
    if (taggedName.empty() || taggedName.back() != ']') {
        return std::nullopt;
    }
    const std::string_view tagged = taggedName.substr(0, taggedName.size() - 1);
    const size_t open = tagged.rfind('[');
    if (open == std::string_view::npos || open + 1 == tagged.size()) {
        return std::nullopt;
    }
    size_t length = 0;
    for (const char digit : tagged.substr(open + 1)) {
        if (!IsDigit(digit)) {
            return std::nullopt;
        }
        // However many digits it has, a length no text can hold runs past its value.
        const size_t value = static_cast<size_t>(digit - '0');
        length = length > (kPastAnyText - value) / 10 ? kPastAnyText : length * 10 + value;
    }
    return SLengthTag{taggedName.substr(0, open), length};
}

std::string LengthTag(size_t length) {
    return '[' + std::to_string(length) + ']';
}
