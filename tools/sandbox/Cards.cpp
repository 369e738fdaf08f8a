#include "sandbox/Cards.h"

#include <ctime>

namespace pgv::sandbox {

namespace {

int Number(std::string_view digits) {
    int value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<SYearMonth> Make(std::string_view year, std::string_view month) {
    if (!IsDigits(year) || !IsDigits(month)) {
        return std::nullopt;
    }
    SYearMonth result{Number(year), Number(month)};
    if (year.size() == 2) {
        result.year += 2000;
    }
    if (result.month < 1 || result.month > 12) {
        return std::nullopt;
    }
    return result;
}

bool IsSeparator(char c) {
    return c == '/' || c == '-';
}

std::string_view StripSentinels(std::string_view track, char start) {
    if (!track.empty() && track.front() == start) {
        track.remove_prefix(1);
    }
    if (!track.empty() && track.back() == '?') {
        track.remove_suffix(1);
    }
    return track;
}

bool IsCardNumberLength(std::size_t length) {
    return length >= 12 && length <= 19;
}

}  // namespace

SYearMonth CurrentYearMonth() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    return {utc.tm_year + 1900, utc.tm_mon + 1};
}

bool IsDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

bool PassesLuhn(std::string_view digits) {
    if (!IsDigits(digits)) {
        return false;
    }
    int sum = 0;
    bool doubled = false;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        int digit = *it - '0';
        if (doubled) {
            digit *= 2;
            if (digit > 9) {
                digit -= 9;
            }
        }
        sum += digit;
        doubled = !doubled;
    }
    return sum % 10 == 0;
}

std::string CardBrand(std::string_view number) {
    if (!IsDigits(number) || number.size() < 4) {
        return "";
    }
    const int two = Number(number.substr(0, 2));
    const int four = Number(number.substr(0, 4));
    if (number.front() == '4') {
        return "Visa";
    }
    if ((two >= 51 && two <= 55) || (four >= 2221 && four <= 2720)) {
        return "MasterCard";
    }
    if (two == 34 || two == 37) {
        return "American Express";
    }
    if (four == 6011 || two == 65) {
        return "Discover";
    }
    return "";
}

std::optional<long long> AmountInCents(std::string_view text) {
    const std::size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    if (!IsDigits(whole) ||
        (dot != std::string_view::npos && (!IsDigits(fraction) || fraction.size() > 2))) {
        return std::nullopt;
    }
    while (whole.size() > 1 && whole.front() == '0') {
        whole.remove_prefix(1);
    }
    if (whole.size() > 13) {
        return std::nullopt;
    }
    long long cents = 0;
    for (char c : whole) {
        cents = cents * 10 + (c - '0');
    }
    cents *= 100;
    if (!fraction.empty()) {
        cents += (fraction[0] - '0') * 10 + (fraction.size() == 2 ? fraction[1] - '0' : 0);
    }
    if (cents <= 0) {
        return std::nullopt;
    }
    return cents;
}

std::optional<SYearMonth> ParseExpiry(std::string_view text) {
    switch (text.size()) {
        case 4:
            return Make(text.substr(2, 2), text.substr(0, 2));
        case 5:
            if (IsSeparator(text[2])) {
                return Make(text.substr(3, 2), text.substr(0, 2));
            }
            return std::nullopt;
        case 6:
            return Make(text.substr(2, 4), text.substr(0, 2));
        case 7:
            if (IsSeparator(text[2])) {
                return Make(text.substr(3, 4), text.substr(0, 2));
            }
            if (text[4] == '-') {
                return Make(text.substr(0, 4), text.substr(5, 2));
            }
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::optional<STrackCard> ParseTrack1(std::string_view track) {
    track = StripSentinels(track, '%');
    if (track.empty() || track.front() != 'B') {
        return std::nullopt;
    }
    track.remove_prefix(1);
    const std::size_t nameStart = track.find('^');
    if (nameStart == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t nameEnd = track.find('^', nameStart + 1);
    if (nameEnd == std::string_view::npos || nameEnd - nameStart - 1 < 2 ||
        nameEnd - nameStart - 1 > 26) {
        return std::nullopt;
    }
    const std::string_view number = track.substr(0, nameStart);
    const std::string_view rest = track.substr(nameEnd + 1);
    if (!IsDigits(number) || !IsCardNumberLength(number.size()) || rest.size() < 4) {
        return std::nullopt;
    }
    auto expiry = Make(rest.substr(0, 2), rest.substr(2, 2));
    if (!expiry) {
        return std::nullopt;
    }
    return STrackCard{std::string(number), *expiry};
}

std::optional<STrackCard> ParseTrack2(std::string_view track) {
    track = StripSentinels(track, ';');
    const std::size_t separator = track.find('=');
    if (separator == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view number = track.substr(0, separator);
    const std::string_view rest = track.substr(separator + 1);
    if (!IsDigits(number) || !IsCardNumberLength(number.size()) || rest.size() < 4 ||
        !IsDigits(rest)) {
        return std::nullopt;
    }
    auto expiry = Make(rest.substr(0, 2), rest.substr(2, 2));
    if (!expiry) {
        return std::nullopt;
    }
    return STrackCard{std::string(number), *expiry};
}

}  // namespace pgv::sandbox
