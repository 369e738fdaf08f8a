#include <gtest/gtest.h>

#include "SdkTestSupport.h"

namespace {

std::string ResultOf(const FMX_Data* data) {
    std::string text(FMHost_Data_GetText(data, nullptr, 0) + 1, '\0');
    text.resize(FMHost_Data_GetText(data, text.data(), text.size()));
    return text;
}

TEST(Data, SetAsTextKeepsCopiesOfTextAndLocale) {
    const Owned<FMX_Data> result(FMHost_Data_New());
    EXPECT_FALSE(FMHost_Data_IsSet(result.get()));
    EXPECT_EQ(FMHost_Data_Locale(result.get()), nullptr);
    Owned<FMX_Text> text = MakeText("1.00\xE2\x82\xAC");
    Owned<FMX_Locale> locale(FM_Locale_Constructor1(kFMX_LocaleSystem, nullptr));
    FMX_Except x{};
    EXPECT_EQ(FM_Data_SetAsText(result.get(), text.get(), locale.get(), kFMX_DataTypeText, &x),
              kFMX_ErrNone);
    EXPECT_EQ(x.m_code, kFMX_ErrNone);
    text.reset();
    locale.reset();
    EXPECT_TRUE(FMHost_Data_IsSet(result.get()));
    EXPECT_EQ(ResultOf(result.get()), "1.00\xE2\x82\xAC");
    EXPECT_NE(FMHost_Data_Locale(result.get()), nullptr);
    EXPECT_EQ(FM_Data_GetLocale(result.get(), nullptr), FMHost_Data_Locale(result.get()));
    // All or nothing: one byte short of the text and its zero gives the empty string.
    char buffer[8] = "XXXXXXX";
    EXPECT_EQ(FMHost_Data_GetText(result.get(), buffer, 7), 7u);
    EXPECT_STREQ(buffer, "");
}

TEST(Data, SetAsTextRefusesOtherTypesAndMissingArguments) {
    const Owned<FMX_Data> result(FMHost_Data_New());
    const Owned<FMX_Text> text = MakeText("x");
    const FMX_Locale* locale = FM_Data_GetLocale(result.get(), nullptr);
    struct Case {
        const FMX_Text* text;
        const FMX_Locale* locale;
        int32_t type;
    };
    for (const Case& c :
         {Case{text.get(), locale, kFMX_DataTypeText + 1}, Case{nullptr, locale, kFMX_DataTypeText},
          Case{text.get(), nullptr, kFMX_DataTypeText}}) {
        FMX_Except x{};
        EXPECT_EQ(FM_Data_SetAsText(result.get(), c.text, c.locale, c.type, &x),
                  kFMX_ErrBadParameter);
        EXPECT_EQ(x.m_code, kFMX_ErrBadParameter);
        EXPECT_FALSE(FMHost_Data_IsSet(result.get()));
    }
}

TEST(DataVect, HoldsTheHostsTextsAndRefusesPositionsPastTheEnd) {
    const Owned<FMX_DataVect> parms(FMHost_DataVect_New());
    EXPECT_EQ(FMHost_DataVect_AppendText(parms.get(), "first"), 1);
    EXPECT_EQ(FMHost_DataVect_AppendText(parms.get(), ""), 1);
    EXPECT_EQ(FMHost_DataVect_AppendText(parms.get(), nullptr), 0);
    FMX_Except x{};
    ASSERT_EQ(FM_DataVect_Size(parms.get(), &x), 2u);
    EXPECT_EQ(ReadText(FM_DataVect_AtAsText(parms.get(), 0, &x)), "first");
    EXPECT_EQ(ReadText(FM_DataVect_AtAsText(parms.get(), 1, &x)), "");
    EXPECT_EQ(FM_Data_GetLocale(FM_DataVect_At(parms.get(), 1, &x), &x),
              FMHost_DataVect_LocaleAt(parms.get(), 1));
    EXPECT_EQ(x.m_code, kFMX_ErrNone);
    for (const uint32_t position : {2u, 0xFFFFFFFFu}) {
        EXPECT_EQ(FM_DataVect_At(parms.get(), position, &x), nullptr);
        EXPECT_EQ(x.m_code, kFMX_ErrBadParameter);
        x.m_code = 0;
        EXPECT_EQ(FM_DataVect_AtAsText(parms.get(), position, &x), nullptr);
        EXPECT_EQ(x.m_code, kFMX_ErrBadParameter);
        EXPECT_EQ(FMHost_DataVect_LocaleAt(parms.get(), position), nullptr);
    }
}

}  // namespace
