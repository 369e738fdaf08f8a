// An amount as the gateways write it: digits with at most one decimal point, blanks around it
// allowed. It is read exactly and without the host's locale, so that "10.10" and "10.1" are the
// same amount and a comma locale cannot turn "10.00" into ten thousand or into ten.
#ifndef PAYGROVE_WIRE_AMOUNT_H
#define PAYGROVE_WIRE_AMOUNT_H

#include <optional>
#include <string>
#include <string_view>

struct SAmount {
    std::string whole;     // without leading zeros: empty for none
    std::string fraction;  // without trailing zeros
};

// Nothing for a text that is no such amount (a sign, a thousands separator, a currency).
std::optional<SAmount> ReadAmount(std::string_view text);

bool operator<(const SAmount& a, const SAmount& b);

#endif
