// What the plug-in's own tests rarely reach in the stand-in SDK: cuts at whole characters, invalid
// input, refused arguments and the register table.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "FMWrapper/FMHost.h"

namespace {

// An error record of the host's version for a call whose error the test does not read.
FMX_Except* Unread() {
    static FMX_Except record;
    record = FMX_Except{};
    return &record;
}

struct Deleter {
    void operator()(FMX_Text* text) const { FM_Text_Delete(text, Unread()); }
    void operator()(FMX_QuadChar* quad) const { FM_QuadChar_Delete(quad, Unread()); }
    void operator()(FMX_Data* data) const { FMHost_Data_Delete(data); }
    void operator()(FMX_DataVect* vect) const { FMHost_DataVect_Delete(vect); }
};
template <typename T>
using Owned = std::unique_ptr<T, Deleter>;

constexpr uint32_t kAll = 0xFFFFFFFF;
const std::string kR = "\xEF\xBF\xBD";         // U+FFFD, the replacement character
const std::string kEuro = "\xE2\x82\xAC";      // three bytes, one unit
const std::string kClef = "\xF0\x9D\x84\x9E";  // four bytes, a surrogate pair

Owned<FMX_Text> MakeText(const std::string& utf8) {
    Owned<FMX_Text> text(FM_Text_Constructor1(Unread()));
    FM_Text_Assign(text.get(), utf8.c_str(), kFMX_EncodingUTF8, Unread());
    return text;
}

std::string ReadText(const FMX_Text* text) {
    char buffer[256];
    FM_Text_GetBytes(text, buffer, sizeof buffer, 0, kAll, kFMX_EncodingUTF8, Unread());
    return buffer;
}

Owned<FMX_QuadChar> Id(const char* id) {
    return Owned<FMX_QuadChar>(FM_QuadChar_Constructor2(id[0], id[1], id[2], id[3], Unread()));
}

FMX_PROC(FMX_ErrorCode) First(int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data*) {
    return 1;
}

FMX_ErrorCode Add(const char* id, const std::string& name, FMX_ExternalFunction handler = First,
                  int16_t minArgs = 0, int16_t maxArgs = 0, FMX_Except* x = Unread()) {
    return FM_ExprEnv_RegisterExternalFunction(Id(id).get(), 100, MakeText(name).get(),
                                               MakeText(name + "( text )").get(), minArgs, maxArgs,
                                               kFMX_AllCompatible, handler, x);
}

TEST(Text, DecodesUtf8ReplacingEachInvalidByteByOneUnit) {
    // The first and the last character of each length; the last two form surrogate pairs.
    const std::string valid =
        "\x7F\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF";
    EXPECT_EQ(FM_Text_GetSize(MakeText(valid).get(), Unread()), 8u);
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {valid, valid},
        {"a\x80z", "a" + kR + "z"},               // stray continuation byte
        {"\xE2\x82", kR + kR},                    // cut at the end
        {"\xE2\x82\x41", kR + kR + "A"},          // cut before a letter
        {"\xE0\x9F\xBF", kR + kR + kR},           // overlong
        {"\xED\xA0\x80", kR + kR + kR},           // encoded surrogate
        {"\xF4\x90\x80\x80", kR + kR + kR + kR},  // beyond U+10FFFF
    };
    for (const auto& [utf8, readBack] : cases) {
        SCOPED_TRACE(utf8);
        EXPECT_EQ(ReadText(MakeText(utf8).get()), readBack);
    }
    const Owned<FMX_Text> text = MakeText("");
    FM_Text_Assign(text.get(), "\xC3\xA9", kFMX_EncodingNative, Unread());  // native is UTF-8
    EXPECT_EQ(ReadText(text.get()), "\xC3\xA9");
}

TEST(Text, GetBytesWritesWholeCharactersOfTheWindowAndNeverPastTheBuffer) {
    const Owned<FMX_Text> text = MakeText("a" + kEuro + "b" + kClef);  // a € b high low
    const struct {
        uint32_t bufferSize, position, size;
        std::string expected;
    } cases[] = {{0, 0, kAll, ""},
                 {1, 0, kAll, ""},
                 {4, 0, kAll, "a"},
                 {5, 0, kAll, "a" + kEuro},
                 {9, 0, kAll, "a" + kEuro + "b"},
                 {10, 0, kAll, "a" + kEuro + "b" + kClef},
                 {16, 3, 1, kR},
                 {16, 4, kAll, kR},
                 {16, kAll, kAll, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bufferSize << " " << c.position << "+" << c.size);
        std::string buffer(c.bufferSize + 4, 'X');
        FMX_Except x{kFMX_ExceptVersion, 99};
        FM_Text_GetBytes(text.get(), buffer.data(), c.bufferSize, c.position, c.size,
                         kFMX_EncodingUTF8, &x);
        EXPECT_EQ(x.m_code, kFMX_ErrNone);
        const std::string written = c.bufferSize > 0 ? c.expected + '\0' : "";
        EXPECT_EQ(buffer, written + std::string(buffer.size() - written.size(), 'X'));
    }
}

TEST(Sdk, Utf16ToUtf8ReplacesLoneSurrogatesAndWritesAllOrNothing) {
    const uint16_t units[] = {'a', 0xD834, 0xDD1E, 0xDD1E, 0xD834, 'b', 0xD834};
    char buffer[32];
    EXPECT_EQ(FMHost_Utf16ToUtf8(units, 7, buffer, sizeof buffer), 15u);
    EXPECT_EQ(std::string(buffer), "a" + kClef + kR + kR + "b" + kR);
    EXPECT_EQ(FMHost_Utf16ToUtf8(units, 7, buffer, 15), 15u);  // no room for the zero
    EXPECT_STREQ(buffer, "");
}

TEST(Sdk, RefusesBadArgumentsAndChangesNothing) {
    FMHost_ClearRegistrations();
    const Owned<FMX_Text> text = MakeText("kept");
    const Owned<FMX_DataVect> parms(FMHost_DataVect_New());
    FMHost_DataVect_AppendText(parms.get(), "host's");
    auto* hostText = const_cast<FMX_Text*>(FM_DataVect_AtAsText(parms.get(), 0, Unread()));
    const Owned<FMX_Data> result(FMHost_Data_New());
    const FMX_Locale* locale = FM_Data_GetLocale(result.get(), Unread());
    FMX_Locale* gone = FM_Locale_Constructor1(kFMX_LocaleSystem, Unread());
    const long live = FMHost_LiveObjectCount();
    FM_Locale_Delete(gone, Unread());
    EXPECT_EQ(FMHost_LiveObjectCount(), live - 1);
    // A reader that ignores the error still finds a string in its buffer.
    const auto getBytes = [](const FMX_Text* from, int32_t encoding, FMX_Except* x) {
        char buffer[4] = "XX";
        FM_Text_GetBytes(from, buffer, sizeof buffer, 0, kAll, encoding, x);
        EXPECT_STREQ(buffer, "");
    };
    constexpr FMX_ErrorCode kBad = kFMX_ErrUnknown;
    const std::pair<FMX_ErrorCode, std::function<void(FMX_Except*)>> cases[] = {
        {kBad,
         [&](FMX_Except* x) { FM_Locale_Delete(reinterpret_cast<FMX_Locale*>(text.get()), x); }},
        {kBad, [&](FMX_Except* x) { FM_Text_Delete(hostText, x); }},
        {kBad, [&](FMX_Except* x) { FM_Locale_Delete(gone, x); }},  // twice
        {kBad, [&](FMX_Except* x) { FM_Text_Assign(text.get(), nullptr, kFMX_EncodingUTF8, x); }},
        {kBad, [&](FMX_Except* x) { FM_Text_Assign(text.get(), "lost", 2, x); }},
        {kBad, [&](FMX_Except* x) { getBytes(text.get(), -1, x); }},
        {kBad, [&](FMX_Except* x) { EXPECT_FALSE(FM_DataVect_AtAsText(parms.get(), kAll, x)); }},
        {kBad, [&](FMX_Except* x) { FM_Data_SetAsText(result.get(), text.get(), locale, 2, x); }},
        {kBad, [&](FMX_Except* x) { Add("PGV1", "", First, 0, 0, x); }},
        {kBad, [&](FMX_Except* x) { Add("PGV1", "A", First, -1, 0, x); }},
        {kBad, [&](FMX_Except* x) { Add("PGV1", "A", First, 2, 1, x); }},
        {kBad, [&](FMX_Except* x) { Add("PGV1", "A", First, 0, -2, x); }},
        {kBad, [&](FMX_Except* x) { Add("PGV1", "A", nullptr, 0, 0, x); }},
        {kFMX_ErrOutOfMemory,
         [&](FMX_Except* x) {
             FMHost_RefuseRegistrations(kFMX_ErrOutOfMemory);
             EXPECT_EQ(Add("PGV1", "A", First, 0, 0, x), kFMX_ErrOutOfMemory);
             FMHost_RefuseRegistrations(kFMX_ErrNone);
         }},
        // An unknown function is refused, yet no error of the caller's.
        {kFMX_ErrNone,
         [&](FMX_Except* x) {
             EXPECT_EQ(FM_ExprEnv_UnRegisterExternalFunction(Id("PGV1").get(), 1, x), kBad);
         }},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        FMX_Except x{};
        cases[i].second(&x);
        EXPECT_EQ(x.m_code, cases[i].first);
    }
    EXPECT_EQ(ReadText(text.get()), "kept");
    EXPECT_EQ(ReadText(hostText), "host's");
    EXPECT_EQ(FMHost_RegisteredCount(), 0u);
    EXPECT_EQ(FMHost_LiveObjectCount(), live - 1);
    EXPECT_FALSE(FMHost_Data_IsSet(result.get()));
    // Set, the result keeps a copy of the text, which is gone at once.
    FM_Data_SetAsText(result.get(), MakeText("1.00" + kEuro).get(), locale, 1, Unread());
    char value[8];
    EXPECT_EQ(FMHost_Data_GetText(result.get(), value, sizeof value), 7u);
    EXPECT_EQ(value, "1.00" + kEuro);
}

// Where FileMaker's own library would crash or read a record it does not know, the stand-in stops
// the process and says why, so that no test passes over such a call.
TEST(SdkDeathTest, StopsACallTheHostsLibraryWouldNotSurvive) {
    const Owned<FMX_Text> text = MakeText("kept");
    const Owned<FMX_DataVect> parms(FMHost_DataVect_New());
    const Owned<FMX_Data> result(FMHost_Data_New());
    const FMX_Locale* locale = FM_Data_GetLocale(result.get(), Unread());
    FMX_Except version0{0, 0};
    FMX_Except version2{2, 0};
    char buffer[4];
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { FM_Text_GetSize(text.get(), nullptr); },
         "FM_Text_GetSize was called without an error record"},
        {[&] { FM_Text_Constructor1(&version0); },
         "FM_Text_Constructor1 was handed an error record of version 0; the host's records are "
         "version 1"},
        {[&] { FM_DataVect_Size(parms.get(), &version2); }, "FM_DataVect_Size .* version 2;"},
        {[&] { FM_DataVect_Size(nullptr, Unread()); },
         "FM_DataVect_Size was handed a null parameter vector, which the host takes by "
         "reference"},
        {[&] { FM_Text_GetBytes(nullptr, buffer, 4, 0, kAll, kFMX_EncodingUTF8, Unread()); },
         "FM_Text_GetBytes was handed a null text"},
        {[&] { FM_Data_GetLocale(nullptr, Unread()); }, "FM_Data_GetLocale .* null data"},
        {[&] { FM_Data_SetAsText(result.get(), nullptr, locale, 1, Unread()); },
         "FM_Data_SetAsText .* null text"},
        {[&] { FM_Data_SetAsText(result.get(), text.get(), nullptr, 1, Unread()); },
         "FM_Data_SetAsText .* null locale"},
        {[&] { Add("PGV1", "A", First, 0, 0, &version0); }, "FM_ExprEnv_RegisterExternalFunction"},
        {[&] { FM_ExprEnv_UnRegisterExternalFunction(nullptr, 1, Unread()); },
         "FM_ExprEnv_UnRegisterExternalFunction .* null plug-in id"},
    };
    for (const auto& [call, message] : cases) {
        EXPECT_DEATH(call(), message);
    }
}

// A host's text can hold U+0000, which a zero-terminated text cannot hand over.
TEST(Sdk, HostTextMayHoldZeroBytes) {
    const Owned<FMX_DataVect> parms(FMHost_DataVect_New());
    ASSERT_EQ(FMHost_DataVect_AppendTextBytes(parms.get(), "a\0b", 3), 1);
    const FMX_Text* text = FM_DataVect_AtAsText(parms.get(), 0, Unread());
    EXPECT_EQ(FM_Text_GetSize(text, Unread()), 3u);
    char buffer[8] = "XXXXXXX";
    FM_Text_GetBytes(text, buffer, sizeof buffer, 0, kAll, kFMX_EncodingUTF8, Unread());
    EXPECT_EQ(std::string(buffer, 4), std::string("a\0b\0", 4));
    EXPECT_EQ(FMHost_DataVect_AppendTextBytes(parms.get(), nullptr, 0), 0);
}

TEST(Register, TheSameKeyReplacesInPlace) {
    FMHost_ClearRegistrations();
    Add("PGV1", "PGV_Old");
    Add("OTHR", "OTHR_Same");  // the same function id for another plug-in
    EXPECT_EQ(Add("PGV1", "PGV_New"), kFMX_ErrNone);
    ASSERT_EQ(FMHost_RegisteredCount(), 2u);
    FMHost_Registration row{};
    FMHost_RegisteredAt(0, &row);
    EXPECT_STREQ(row.name, "PGV_New");
    EXPECT_EQ(FMHost_FindFunction("PGV_NewX", &row), 0);  // whole names only
    FMHost_ClearRegistrations();
}

}  // namespace
