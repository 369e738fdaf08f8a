// Card-number and expiry rules every gateway emulation checks the same way.
#ifndef PAYGROVE_SANDBOX_CARDS_H
#define PAYGROVE_SANDBOX_CARDS_H

#include <optional>
#include <string>
#include <string_view>

namespace pgv::sandbox {

struct SYearMonth {
    int year = 0;
    int month = 0;

    bool operator<(const SYearMonth& other) const {
        return year != other.year ? year < other.year : month < other.month;
    }
};

SYearMonth CurrentYearMonth();

bool IsDigits(std::string_view text);
bool PassesLuhn(std::string_view digits);

// "Visa", "MasterCard", "American Express", "Discover" or empty when the prefix is none of them.
std::string CardBrand(std::string_view number);

// Whole digits with at most two decimals, above zero. Past 13 whole digits, beyond any gateway's
// limit, it is refused so that the cents always fit.
std::optional<long long> AmountInCents(std::string_view text);

// MMYY, MM/YY, MM-YY, MMYYYY, MM/YYYY, MM-YYYY or YYYY-MM; a two-digit year is in this century.
std::optional<SYearMonth> ParseExpiry(std::string_view text);

struct STrackCard {
    std::string number;
    SYearMonth expiry;
};

// Magnetic-stripe tracks, with or without their start and end sentinels.
std::optional<STrackCard> ParseTrack1(std::string_view track);
std::optional<STrackCard> ParseTrack2(std::string_view track);

}  // namespace pgv::sandbox

#endif
