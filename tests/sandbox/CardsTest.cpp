#include <gtest/gtest.h>

#include "sandbox/Cards.h"

namespace pgv::sandbox {
namespace {

TEST(Luhn, AcceptsTheDocumentedTestCardsAndRejectsOthers) {
    for (const char* good :
         {"4111111111111111", "4222222222222", "4007000000027", "5424000000000015",
          "370000000000002", "6011000000000012", "2223000010309703", "0"}) {
        EXPECT_TRUE(PassesLuhn(good)) << good;
    }
    for (const char* bad :
         {"4111111111111112", "4222222222223", "", "4111 1111 1111 1111", "411111111111111a"}) {
        EXPECT_FALSE(PassesLuhn(bad)) << bad;
    }
}

TEST(CardBrand, ByPrefix) {
    const std::pair<const char*, const char*> cases[] = {
        {"4111111111111111", "Visa"},
        {"4222222222222", "Visa"},
        {"5100000000000008", "MasterCard"},
        {"5599999999999997", "MasterCard"},
        {"2221000000000009", "MasterCard"},
        {"2720990000000007", "MasterCard"},
        {"2721000000000000", ""},
        {"2220990000000000", ""},
        {"5600000000000000", ""},
        {"340000000000009", "American Express"},
        {"370000000000002", "American Express"},
        {"6011000000000012", "Discover"},
        {"6500000000000002", "Discover"},
        {"6012000000000000", ""},
        {"3530111333300000", ""},
        {"1111", ""},
        {"", ""},
    };
    for (const auto& [number, brand] : cases) {
        EXPECT_EQ(CardBrand(number), brand) << number;
    }
}

TEST(ParseExpiry, ReadsEveryAcceptedForm) {
    const std::pair<const char*, SYearMonth> cases[] = {
        {"0330", {2030, 3}},    {"03/30", {2030, 3}},   {"03-30", {2030, 3}},
        {"032030", {2030, 3}},  {"03/2030", {2030, 3}}, {"03-2030", {2030, 3}},
        {"2030-03", {2030, 3}}, {"1299", {2099, 12}},
    };
    for (const auto& [text, expected] : cases) {
        const auto parsed = ParseExpiry(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_EQ(parsed->year, expected.year) << text;
        EXPECT_EQ(parsed->month, expected.month) << text;
    }
}

TEST(ParseExpiry, RejectsOtherText) {
    for (const char* text : {"", "1330", "0030", "3/30", "03.30", "03/3a", "2030/03", "20300",
                             "03 30", "2030-13", "0330 ", "03/30/2030"}) {
        EXPECT_FALSE(ParseExpiry(text).has_value()) << text;
    }
}

TEST(YearMonth, OrdersByYearThenMonth) {
    EXPECT_TRUE((SYearMonth{2026, 5} < SYearMonth{2026, 6}));
    EXPECT_TRUE((SYearMonth{2025, 12} < SYearMonth{2026, 1}));
    EXPECT_FALSE((SYearMonth{2026, 6} < SYearMonth{2026, 6}));
}

TEST(Tracks, ReadNumberAndExpiry) {
    const auto one = ParseTrack1("%B4111111111111111^DOE/JOHN^3012101000000000?");
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(one->number, "4111111111111111");
    EXPECT_EQ(one->expiry.year, 2030);
    EXPECT_EQ(one->expiry.month, 12);
    EXPECT_TRUE(ParseTrack1("B4111111111111111^DOE/JOHN^3012").has_value());

    const auto two = ParseTrack2(";4111111111111111=30121011000012345678?");
    ASSERT_TRUE(two.has_value());
    EXPECT_EQ(two->number, "4111111111111111");
    EXPECT_EQ(two->expiry.year, 2030);
    EXPECT_EQ(two->expiry.month, 12);
    EXPECT_TRUE(ParseTrack2("4111111111111111=3012").has_value());
}

TEST(Tracks, RejectMalformedData) {
    for (const char* track :
         {"", "%B4111111111111111^DOE/JOHN?", "A4111111111111111^DOE^3012", "B41111^DOE/JOHN^3012",
          "B4111111111111111^D^3012", "B4111111111111111^DOE/JOHN^301",
          "B4111111111111111^DOE/JOHN^3013", "B41111111x1111111^DOE/JOHN^3012"}) {
        EXPECT_FALSE(ParseTrack1(track).has_value()) << track;
    }
    for (const char* track :
         {"", ";4111111111111111?", "4111111111111111=301", "4111111111111111=3000",
          "41111111111x1111=3012", "4111111111111111=30ab"}) {
        EXPECT_FALSE(ParseTrack2(track).has_value()) << track;
    }
}

}  // namespace
}  // namespace pgv::sandbox
