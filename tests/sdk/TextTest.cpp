#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "SdkTestSupport.h"

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";
const std::string kEuro = "\xE2\x82\xAC";      // three bytes, one unit
const std::string kClef = "\xF0\x9D\x84\x9E";  // four bytes, a surrogate pair

TEST(Text, RoundTripsUtf8AndCountsUtf16Units) {
    const std::pair<std::string, uint32_t> cases[] = {
        {"", 0},
        {"abc", 3},
        {"\xC3\xA9" + kEuro + kClef, 4},
        {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", 3},              // U+FFFF, U+10FFFF: the last of each
        {"\x7F\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80", 5},  // the first of each length
    };
    for (const auto& [utf8, units] : cases) {
        SCOPED_TRACE(utf8);
        const Owned<FMX_Text> text = MakeText(utf8);
        EXPECT_EQ(FM_Text_GetSize(text.get(), nullptr), units);
        EXPECT_EQ(ReadText(text.get()), utf8);
    }
}

TEST(Text, ReplacesEachInvalidByteByOneReplacementCharacter) {
    const std::string r = kReplacement;
    const std::pair<std::string, std::string> cases[] = {
        {"\xFF", r},
        {"a\x80z", "a" + r + "z"},              // stray continuation byte
        {"\xC3", r},                            // cut at the end
        {"\xE2\x82\x41", r + r + "A"},          // cut before a letter
        {"\xF0\x9D\x84\x62", r + r + r + "b"},  // cut before a letter
        {"\xC0\x80", r + r},                    // overlong
        {"\xE0\x9F\xBF", r + r + r},            // overlong
        {"\xED\xA0\x80", r + r + r},            // encoded surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},    // beyond U+10FFFF
    };
    for (const auto& [input, expected] : cases) {
        SCOPED_TRACE(input);
        EXPECT_EQ(ReadText(MakeText(input).get()), expected);
    }
}

TEST(Text, GetBytesWritesWholeCharactersOnlyAndNeverPastTheBuffer) {
    const Owned<FMX_Text> text = MakeText("a" + kEuro + "b" + kClef);
    const std::pair<uint32_t, std::string> cases[] = {
        {0, ""},
        {1, ""},
        {2, "a"},
        {4, "a"},
        {5, "a" + kEuro},
        {6, "a" + kEuro + "b"},
        {9, "a" + kEuro + "b"},
        {10, "a" + kEuro + "b" + kClef},
        {11, "a" + kEuro + "b" + kClef},
    };
    for (const auto& [bufferSize, expected] : cases) {
        SCOPED_TRACE(bufferSize);
        std::string buffer(12, 'X');
        FMX_Except x{0, 99};
        FM_Text_GetBytes(text.get(), buffer.data(), bufferSize, 0, 0xFFFFFFFF, kFMX_EncodingUTF8,
                         &x);
        EXPECT_EQ(x.m_code, kFMX_ErrNone);
        const std::string written = bufferSize > 0 ? expected + '\0' : "";
        EXPECT_EQ(buffer, written + std::string(buffer.size() - written.size(), 'X'));
    }
}

struct Window {
    uint32_t position;
    uint32_t size;
    std::string expected;
};

TEST(Text, GetBytesReadsTheWindowAndSplitPairsBecomeReplacements) {
    const Owned<FMX_Text> text = MakeText("a" + kClef + "b");  // a, high, low, b
    const Window cases[] = {
        {0, 1, "a"},
        {1, 2, kClef},
        {1, 1, kReplacement},
        {2, 0xFFFFFFFF, kReplacement + "b"},
        {0, 100, "a" + kClef + "b"},
        {3, 0, ""},
        {4, 0xFFFFFFFF, ""},
        {0xFFFFFFFF, 0xFFFFFFFF, ""},
    };
    for (const Window& c : cases) {
        SCOPED_TRACE(testing::Message() << c.position << "+" << c.size);
        EXPECT_EQ(ReadText(text.get(), 64, c.position, c.size), c.expected);
    }
}

TEST(Text, NativeEncodingIsUtf8AndOthersAreRefused) {
    const Owned<FMX_Text> text = MakeText("");
    FMX_Except x{};
    FM_Text_Assign(text.get(), "\xC3\xA9", kFMX_EncodingNative, &x);
    EXPECT_EQ(ReadText(text.get()), "\xC3\xA9");
    for (const int32_t encoding : {2, -1}) {
        FM_Text_Assign(text.get(), "lost", encoding, &x);
        EXPECT_EQ(x.m_code, kFMX_ErrUnsupportedEncoding);
        EXPECT_EQ(ReadText(text.get()), "\xC3\xA9");
        char buffer[4] = "XXX";
        FM_Text_GetBytes(text.get(), buffer, 4, 0, 0xFFFFFFFF, encoding, &x);
        EXPECT_EQ(x.m_code, kFMX_ErrUnsupportedEncoding);
        EXPECT_STREQ(buffer, "");
    }
    FM_Text_Assign(text.get(), nullptr, kFMX_EncodingUTF8, &x);
    EXPECT_EQ(x.m_code, kFMX_ErrBadParameter);
    EXPECT_EQ(ReadText(text.get()), "\xC3\xA9");
}

TEST(Sdk, NullObjectsAreBadParametersWithOrWithoutAnErrorRecord) {
    char buffer[4];
    const std::vector<std::function<void(FMX_Except*)>> operations = {
        [](FMX_Except* x) { FM_QuadChar_Delete(nullptr, x); },
        [](FMX_Except* x) { FM_Text_Delete(nullptr, x); },
        [](FMX_Except* x) { FM_Locale_Delete(nullptr, x); },
        [](FMX_Except* x) { FM_Text_Assign(nullptr, "a", kFMX_EncodingUTF8, x); },
        [](FMX_Except* x) { FM_Text_GetSize(nullptr, x); },
        [&](FMX_Except* x) { FM_Text_GetBytes(nullptr, buffer, 4, 0, 1, kFMX_EncodingUTF8, x); },
        [](FMX_Except* x) { FM_DataVect_Size(nullptr, x); },
        [](FMX_Except* x) { EXPECT_EQ(FM_DataVect_At(nullptr, 0, x), nullptr); },
        [](FMX_Except* x) { EXPECT_EQ(FM_DataVect_AtAsText(nullptr, 0, x), nullptr); },
        [](FMX_Except* x) { EXPECT_EQ(FM_Data_GetLocale(nullptr, x), nullptr); },
        [](FMX_Except* x) { FM_Data_SetAsText(nullptr, nullptr, nullptr, kFMX_DataTypeText, x); },
        [](FMX_Except* x) {
            FM_ExprEnv_RegisterExternalFunction(nullptr, 1, nullptr, nullptr, 0, 0, 0, nullptr, x);
        },
        [](FMX_Except* x) { FM_ExprEnv_UnRegisterExternalFunction(nullptr, 1, x); },
    };
    for (std::size_t i = 0; i < operations.size(); ++i) {
        SCOPED_TRACE(i);
        FMX_Except x{};
        operations[i](&x);
        EXPECT_EQ(x.m_code, kFMX_ErrBadParameter);
        operations[i](nullptr);
    }
}

TEST(Sdk, LiveObjectCountFollowsConstructorsAndDeletes) {
    const long before = FMHost_LiveObjectCount();
    FMX_Except x{};
    FMX_Text* text = FM_Text_Constructor1(&x);
    FMX_Locale* locale = FM_Locale_Constructor1(kFMX_LocaleSystem, &x);
    FMX_QuadChar* quad = FM_QuadChar_Constructor2('P', 'G', 'V', '1', &x);
    EXPECT_EQ(FMHost_LiveObjectCount(), before + 3);

    // Deleting through the wrong kind, or what the host owns, is refused and changes nothing.
    FM_Locale_Delete(reinterpret_cast<FMX_Locale*>(text), &x);
    EXPECT_EQ(x.m_code, kFMX_ErrBadParameter);
    const Owned<FMX_DataVect> parms(FMHost_DataVect_New());
    FMHost_DataVect_AppendText(parms.get(), "host's");
    FM_Text_Delete(const_cast<FMX_Text*>(FM_DataVect_AtAsText(parms.get(), 0, nullptr)), &x);
    EXPECT_EQ(x.m_code, kFMX_ErrBadParameter);
    EXPECT_EQ(FMHost_LiveObjectCount(), before + 3);

    FM_Text_Delete(text, &x);
    FM_Locale_Delete(locale, &x);
    FM_QuadChar_Delete(quad, &x);
    EXPECT_EQ(x.m_code, kFMX_ErrNone);
    EXPECT_EQ(FMHost_LiveObjectCount(), before);
    FM_Text_Delete(text, &x);
    EXPECT_EQ(x.m_code, kFMX_ErrBadParameter);
}

TEST(Sdk, Utf16ToUtf8ReplacesLoneSurrogatesAndWritesAllOrNothing) {
    const uint16_t units[] = {'a', 0xD834, 0xDD1E, 0xDD1E, 0xD834, 'b', 0xD834};
    char buffer[32];
    EXPECT_EQ(FMHost_Utf16ToUtf8(units, 7, buffer, sizeof buffer), 15u);
    const std::string r = kReplacement;
    EXPECT_EQ(std::string(buffer), "a" + kClef + r + r + "b" + r);
    EXPECT_EQ(FMHost_Utf16ToUtf8(units, 7, buffer, 15), 15u);
    EXPECT_STREQ(buffer, "");
}

}  // namespace
