#include <gtest/gtest.h>

#include <string>

#include "SdkTestSupport.h"

namespace {

FMX_ErrorCode First(int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data*) {
    return 1;
}
FMX_ErrorCode Second(int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data*) {
    return 2;
}

class Register : public testing::Test {
protected:
    void SetUp() override { FMHost_ClearRegistrations(); }
    void TearDown() override { FMHost_ClearRegistrations(); }

    FMX_ErrorCode Add(const FMX_QuadChar* id, int16_t functionId, const std::string& name,
                      int16_t minArgs = 0, int16_t maxArgs = 0,
                      FMX_ExternalFunction handler = First, FMX_Except* x = nullptr) {
        return FM_ExprEnv_RegisterExternalFunction(id, functionId, MakeText(name).get(),
                                                   MakeText(name + "( text )").get(), minArgs,
                                                   maxArgs, kFMX_AllCompatible, handler, x);
    }

    const Owned<FMX_QuadChar> pgv_{FM_QuadChar_Constructor2('P', 'G', 'V', '1', nullptr)};
    const Owned<FMX_QuadChar> other_{FM_QuadChar_Constructor2('O', 'T', 'H', 'R', nullptr)};
};

TEST_F(Register, StoresRowsAndFindsThemByNameInAnyCase) {
    EXPECT_EQ(Add(pgv_.get(), 100, "PGV_Version"), kFMX_ErrNone);
    EXPECT_EQ(Add(pgv_.get(), 101, "PGV_Process", 1, 3, Second), kFMX_ErrNone);
    FMHost_Registration row{};
    ASSERT_EQ(FMHost_RegisteredAt(1, &row), 1);
    EXPECT_STREQ(row.pluginId, "PGV1");
    EXPECT_EQ(row.functionId, 101);
    EXPECT_EQ(row.minArgs, 1);
    EXPECT_EQ(row.maxArgs, 3);
    EXPECT_EQ(row.flags, uint32_t{kFMX_AllCompatible});
    EXPECT_EQ(row.handler, &Second);
    EXPECT_STREQ(row.name, "PGV_Process");
    EXPECT_STREQ(row.prototype, "PGV_Process( text )");
    EXPECT_EQ(FMHost_RegisteredAt(2, &row), 0);
    ASSERT_EQ(FMHost_FindFunction("pgv_VERSION", &row), 1);
    EXPECT_EQ(row.functionId, 100);
    EXPECT_EQ(FMHost_FindFunction("PGV_Versio", &row), 0);
}

TEST_F(Register, SameKeyReplacesInPlaceUnregisterRemoves) {
    Add(pgv_.get(), 100, "PGV_Old");
    Add(pgv_.get(), 101, "PGV_Next");
    Add(other_.get(), 100, "OTHR_Same");
    EXPECT_EQ(Add(pgv_.get(), 100, "PGV_New", 2, 2, Second), kFMX_ErrNone);
    ASSERT_EQ(FMHost_RegisteredCount(), 3u);
    FMHost_Registration row{};
    FMHost_RegisteredAt(0, &row);
    EXPECT_STREQ(row.name, "PGV_New");
    EXPECT_EQ(row.handler, &Second);
    EXPECT_EQ(FMHost_FindFunction("PGV_Old", &row), 0);

    FMX_Except x{};
    EXPECT_EQ(FM_ExprEnv_UnRegisterExternalFunction(pgv_.get(), 100, &x), kFMX_ErrNone);
    EXPECT_EQ(FMHost_FindFunction("PGV_New", &row), 0);
    EXPECT_EQ(FMHost_FindFunction("OTHR_Same", &row), 1);
    EXPECT_NE(FM_ExprEnv_UnRegisterExternalFunction(pgv_.get(), 100, &x), kFMX_ErrNone);
    EXPECT_EQ(x.m_code, kFMX_ErrNone);
    EXPECT_EQ(FMHost_RegisteredCount(), 2u);
}

TEST_F(Register, RefusesRowsTheEngineCouldNotCall) {
    struct Case {
        const char* name;
        int16_t minArgs;
        int16_t maxArgs;
        FMX_ExternalFunction handler;
    };
    for (const Case& c : {Case{"", 0, 0, First}, Case{"A", -1, 0, First}, Case{"A", 2, 1, First},
                          Case{"A", 0, 0, nullptr}}) {
        FMX_Except x{};
        EXPECT_EQ(Add(pgv_.get(), 100, c.name, c.minArgs, c.maxArgs, c.handler, &x),
                  kFMX_ErrBadParameter);
        EXPECT_EQ(x.m_code, kFMX_ErrBadParameter);
    }
    EXPECT_EQ(FMHost_RegisteredCount(), 0u);
}

TEST_F(Register, LongNamesAreCutOnACharacterBoundary) {
    // The name field holds 127 bytes and a zero; € takes three bytes.
    const std::string euro = "\xE2\x82\xAC";
    for (const auto& [letters, tail] :
         {std::pair{124, euro}, std::pair{125, std::string()}, std::pair{127, std::string()}}) {
        SCOPED_TRACE(letters);
        FMHost_ClearRegistrations();
        const std::string name = std::string(letters, 'n') + euro;
        Add(pgv_.get(), 100, name);
        FMHost_Registration row{};
        ASSERT_EQ(FMHost_FindFunction(name.c_str(), &row), 1);
        EXPECT_EQ(row.name, std::string(letters, 'n') + tail);
    }
}

}  // namespace
