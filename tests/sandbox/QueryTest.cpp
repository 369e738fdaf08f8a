#include <gtest/gtest.h>

#include <ostream>

#include "sandbox/Query.h"

namespace pgv::sandbox {
namespace {

struct SDecodeCase {
    const char* name;
    std::string raw;
    EPlus plus;
    ParamList expected;
};

void PrintTo(const SDecodeCase& c, std::ostream* out) {
    *out << c.name;
}

class DecodeQueryAccepts : public ::testing::TestWithParam<SDecodeCase> {};

TEST_P(DecodeQueryAccepts, AndDecodes) {
    const SDecodedQuery decoded = DecodeQuery(GetParam().raw, GetParam().plus);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.params, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecodeQueryAccepts,
    ::testing::Values(
        SDecodeCase{"Empty", "", EPlus::Forbidden, {}},
        SDecodeCase{"Pairs", "b=2&a=1", EPlus::Forbidden, {{"b", "2"}, {"a", "1"}}},
        SDecodeCase{"EmptyValue", "a=", EPlus::Forbidden, {{"a", ""}}},
        SDecodeCase{"EqualsInValue", "a=b=c", EPlus::Forbidden, {{"a", "b=c"}}},
        SDecodeCase{"Escapes",
                    "a%5Fb=%20%2b%2B%7c%00",
                    EPlus::Forbidden,
                    {{"a_b", std::string(" ++|\0", 5)}}},
        SDecodeCase{"Unreserved", "a=-._~!'()*/:", EPlus::Forbidden, {{"a", "-._~!'()*/:"}}},
        SDecodeCase{"Utf8Escaped", "a=%C3%A9", EPlus::Forbidden, {{"a", "\xC3\xA9"}}},
        SDecodeCase{"PlusInForm", "a=b+c&d=%2B", EPlus::Blank, {{"a", "b c"}, {"d", "+"}}},
        SDecodeCase{"Repeated", "a=1&a=2", EPlus::Forbidden, {{"a", "1"}, {"a", "2"}}}),
    [](const auto& info) { return info.param.name; });

struct SRejectCase {
    const char* name;
    std::string raw;
    const char* errorPart;
};

void PrintTo(const SRejectCase& c, std::ostream* out) {
    *out << c.name;
}

class DecodeQueryRejects : public ::testing::TestWithParam<SRejectCase> {};

TEST_P(DecodeQueryRejects, NamingTheProblem) {
    const SDecodedQuery decoded = DecodeQuery(GetParam().raw, EPlus::Forbidden);
    EXPECT_FALSE(decoded.ok);
    EXPECT_NE(decoded.error.find(GetParam().errorPart), std::string::npos) << decoded.error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecodeQueryRejects,
    ::testing::Values(
        SRejectCase{"Blank", "a=b c", "0x20 at offset 3"},
        SRejectCase{"RawPlus", "a=b+c", "0x2B ('+') at offset 3"},
        SRejectCase{"Quote", "a=\"", "0x22"}, SRejectCase{"Hash", "a=#", "0x23"},
        SRejectCase{"Semicolon", "a=1;b=2", "0x3B"}, SRejectCase{"Comma", "a=1,2", "0x2C"},
        SRejectCase{"Question", "a=?", "0x3F"}, SRejectCase{"At", "a=@", "0x40"},
        SRejectCase{"Dollar", "a=$", "0x24"}, SRejectCase{"Brackets", "a=[", "0x5B"},
        SRejectCase{"HighByte", "a=\xC3\xA9", "0xC3"}, SRejectCase{"Tab", "a=\t", "0x09"},
        SRejectCase{"TruncatedEscape", "a=%4", "malformed percent escape at offset 2"},
        SRejectCase{"BareEscape", "a=%", "malformed percent escape"},
        SRejectCase{"NonHexEscape", "a=%zz", "malformed percent escape"},
        SRejectCase{"HalfHexEscape", "a=%4g", "malformed percent escape"},
        SRejectCase{"NoEquals", "a&b=1", "has no '='"}, SRejectCase{"NoName", "=1", "has no name"},
        SRejectCase{"EmptyPair", "a=1&&b=2", "empty parameter at offset 4"},
        SRejectCase{"LeadingAmpersand", "&a=1", "empty parameter at offset 0"},
        SRejectCase{"TrailingAmpersand", "a=1&", "ends in '&'"}),
    [](const auto& info) { return info.param.name; });

TEST(FindEncodingProblem, AllowsPlusOnlyInForms) {
    EXPECT_TRUE(FindEncodingProblem("a+b", EPlus::Forbidden).has_value());
    EXPECT_FALSE(FindEncodingProblem("a+b", EPlus::Blank).has_value());
}

TEST(Params, LookUpNamesCaseInsensitivelyAndTheFirstWins) {
    const CParams params({{"X_Login", "first"}, {"x_login", "second"}, {"x_empty", ""}});
    EXPECT_EQ(params.Value("x_login"), "first");
    EXPECT_TRUE(params.Has("x_empty"));
    EXPECT_FALSE(params.Has("x_missing"));
    EXPECT_EQ(params.Value("x_missing"), "");
}

}  // namespace
}  // namespace pgv::sandbox
