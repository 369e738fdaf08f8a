// The harnesses' own reading of a masked line for card numbers, written apart from the mask's:
// whole runs of digits joined by runs of separators (blanks, tabs, hyphens, plus signs, dots and
// the non-breaking spaces of Windows-1252, Mac Roman and UTF-8), 13 to 19 digits passing the Luhn
// check, in the line as written, where only a separator's %XX is its byte, and decoded.
#ifndef PAYGROVE_FUZZ_CARDNUMBERSCAN_H
#define PAYGROVE_FUZZ_CARDNUMBERSCAN_H

#include <cstddef>
#include <string>

namespace pgvfuzz {

inline constexpr size_t kMinCardDigits = 13;
inline constexpr size_t kMaxCardDigits = 19;

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

inline int HexValue(char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

inline bool IsSeparator(unsigned char c) {
    return c == ' ' || c == '\t' || c == '-' || c == '+' || c == '.' || c == 0xA0 || c == 0xCA;
}

enum class EReading { AsWritten, Decoded };

// The line as a card number reading sees it: a digit as itself, a separator as a blank, any
// other byte as '#'.
inline std::string Seen(const std::string& line, EReading reading) {
    constexpr char kUtf8Lead = 'c';
    constexpr char kNonBreaking = 'a';
    std::string seen;
    for (size_t at = 0; at < line.size();) {
        auto byte = static_cast<unsigned char>(line[at]);
        size_t size = 1;
        if (byte == '%' && at + 2 < line.size() && HexValue(line[at + 1]) >= 0 &&
            HexValue(line[at + 2]) >= 0) {
            const auto escaped =
                static_cast<unsigned char>(HexValue(line[at + 1]) * 16 + HexValue(line[at + 2]));
            if (reading == EReading::Decoded || IsSeparator(escaped)) {
                byte = escaped;
                size = 3;
            }
        }
        at += size;
        seen += IsDigit(static_cast<char>(byte)) ? static_cast<char>(byte)
                : byte == 0xA0                   ? kNonBreaking
                : IsSeparator(byte)              ? ' '
                : byte == 0xC2                   ? kUtf8Lead
                                                 : '#';
    }
    // UTF-8 writes a non-breaking space as C2 A0.
    for (size_t at = 0; at < seen.size(); ++at) {
        if (seen[at] == kUtf8Lead) {
            seen[at] = at + 1 < seen.size() && seen[at + 1] == kNonBreaking ? ' ' : '#';
        } else if (seen[at] == kNonBreaking) {
            seen[at] = ' ';
        }
    }
    return seen;
}

inline bool PassesLuhn(const std::string& digits) {
    int sum = 0;
    for (size_t i = 0; i < digits.size(); ++i) {
        const int digit = digits[digits.size() - 1 - i] - '0';
        const int weighed = i % 2 == 1 ? digit * 2 : digit;
        sum += weighed > 9 ? weighed - 9 : weighed;
    }
    return sum % 10 == 0;
}

inline bool HoldsCardNumber(const std::string& seen) {
    for (size_t start = 0; start < seen.size(); ++start) {
        if (!IsDigit(seen[start]) || (start > 0 && IsDigit(seen[start - 1]))) {
            continue;
        }
        std::string digits;
        for (size_t at = start; at < seen.size() && digits.size() <= kMaxCardDigits; ++at) {
            if (IsDigit(seen[at])) {
                digits += seen[at];
                const bool runEnds = at + 1 == seen.size() || !IsDigit(seen[at + 1]);
                if (runEnds && digits.size() >= kMinCardDigits && digits.size() <= kMaxCardDigits &&
                    PassesLuhn(digits)) {
                    return true;
                }
            } else if (seen[at] != ' ') {
                break;
            }
        }
    }
    return false;
}

inline bool ShowsCardNumber(const std::string& masked) {
    return HoldsCardNumber(Seen(masked, EReading::AsWritten)) ||
           HoldsCardNumber(Seen(masked, EReading::Decoded));
}

}  // namespace pgvfuzz

#endif
