#include "wire/Amount.h"

#include <algorithm>

#include "wire/Padding.h"

namespace {

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<SAmount> ReadAmount(std::string_view text) {
    const std::string amount = WithoutPadding(text);
    const size_t point = amount.find('.');
    std::string whole = amount.substr(0, point);
    std::string fraction = point == std::string::npos ? std::string() : amount.substr(point + 1);
    if (whole.size() + fraction.size() == 0 || !AllDigits(whole) || !AllDigits(fraction)) {
        return std::nullopt;
    }
    whole.erase(0, whole.find_first_not_of('0'));
    fraction.erase(fraction.find_last_not_of('0') + 1);
    return SAmount{whole, fraction};
}

bool operator<(const SAmount& a, const SAmount& b) {
    if (a.whole.size() != b.whole.size()) {
        return a.whole.size() < b.whole.size();
    }
    if (a.whole != b.whole) {
        return a.whole < b.whole;
    }
    return a.fraction < b.fraction;
}
