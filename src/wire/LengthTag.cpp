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
    // Only digits stand between the brackets, so the "[" is looked for back over digits alone:
    // the log mask hands over all of a line before an "=", and a long line of "]=" would
    // otherwise be read back to its start at each of them.
    const size_t close = taggedName.size() - 1;
    size_t firstDigit = close;
    while (firstDigit > 0 && IsDigit(taggedName[firstDigit - 1])) {
        --firstDigit;
    }
    if (firstDigit == 0 || firstDigit == close || taggedName[firstDigit - 1] != '[') {
        return std::nullopt;
    }
    size_t length = 0;
    for (const char digit : taggedName.substr(firstDigit, close - firstDigit)) {
        // However many digits it has, a length no text can hold runs past its value.
        const size_t value = static_cast<size_t>(digit - '0');
        length = length > (kPastAnyText - value) / 10 ? kPastAnyText : length * 10 + value;
    }
    return SLengthTag{taggedName.substr(0, firstDigit - 1), length};
}

std::string LengthTag(size_t length) {
    return '[' + std::to_string(length) + ']';
}
