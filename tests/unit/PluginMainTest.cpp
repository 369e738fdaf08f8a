#include <gtest/gtest.h>

#include <FMWrapper/FMHost.h>

#include <string>
#include <vector>

extern "C" void FMExternCallProc(FMX_ExternCallPtr pb);

namespace {

intptr_t StartUp(int16_t interfaceVersion, uint8_t appKind) {
    FMX_ExternCallStruct block = {};
    block.whichCall = kFMXT_Init;
    block.extnVersion = interfaceVersion;
    block.parm1 = appKind;
    block.result = 12345;
    FMExternCallProc(&block);
    return block.result;
}

void ShutDown() {
    FMX_ExternCallStruct block = {};
    block.whichCall = kFMXT_Shutdown;
    block.result = 12345;
    FMExternCallProc(&block);
    EXPECT_EQ(block.result, 12345);
}

// The answer to a string request, or "(untouched)" when the buffer was left alone.
std::string StringRequest(uint8_t id, uint32_t size) {
    std::vector<uint16_t> buffer(128, 0xAAAA);
    FMX_ExternCallStruct block = {};
    block.whichCall = kFMXT_GetString;
    block.parm1 = id;
    block.parm2 = size;
    block.result = reinterpret_cast<intptr_t>(buffer.data());
    FMExternCallProc(&block);
    if (buffer[0] == 0xAAAA) {
        return "(untouched)";
    }
    std::string text;
    for (size_t i = 0; buffer[i] != 0; ++i) {
        text += static_cast<char>(buffer[i]);
    }
    return text;
}

class PluginMain : public ::testing::Test {
protected:
    void SetUp() override {
        FMHost_ClearRegistrations();
        m_LiveObjects = FMHost_LiveObjectCount();
    }
    void TearDown() override {
        ShutDown();
        EXPECT_EQ(FMHost_RegisteredCount(), 0u);
        EXPECT_EQ(FMHost_LiveObjectCount(), m_LiveObjects);
    }

    long m_LiveObjects = 0;
};

TEST_F(PluginMain, StartUpAnswers) {
    struct SCase {
        int16_t version;
        uint8_t kind;
        intptr_t answer;
        uint32_t registered;
    };
    const SCase cases[] = {
        {57, kFMXT_Developer, 51, 6}, {50, kFMXT_Pro, 51, 6},     {49, kFMXT_Pro, -1, 0},
        {-3, kFMXT_Pro, -1, 0},       {57, kFMXT_Runtime, 51, 6}, {57, kFMXT_Server, -2, 0},
        {57, kFMXT_Web, -2, 0},       {57, kFMXT_Mobile, -2, 0},  {57, 6, 51, 6},
    };
    for (const SCase& c : cases) {
        FMHost_ClearRegistrations();
        EXPECT_EQ(StartUp(c.version, c.kind), c.answer) << c.version << "/" << int{c.kind};
        EXPECT_EQ(FMHost_RegisteredCount(), c.registered) << c.version << "/" << int{c.kind};
    }
}

TEST_F(PluginMain, RegistersTheSixFunctions) {
    ASSERT_EQ(StartUp(57, kFMXT_Developer), 51);
    const struct {
        int16_t id;
        const char* name;
        const char* prototype;
        int16_t minArgs;
        int16_t maxArgs;
    } expected[] = {
        {0, "PGV_Version", "PGV_Version", 0, 0},
        {1, "PGV_BeginTransaction", "PGV_BeginTransaction", 0, 0},
        {2, "PGV_SetParameters", "PGV_SetParameters(parameters)", 1, 1},
        {3, "PGV_SendTransaction", "PGV_SendTransaction([timeout])", 0, 1},
        {4, "PGV_GetResult", "PGV_GetResult(field)", 1, 1},
        {5, "PGV_SelectPortal", "PGV_SelectPortal(name)", 1, 1},
    };
    ASSERT_EQ(FMHost_RegisteredCount(), 6u);
    for (uint32_t i = 0; i < 6; ++i) {
        FMHost_Registration row = {};
        ASSERT_TRUE(FMHost_RegisteredAt(i, &row));
        EXPECT_STREQ(row.pluginId, "Zkqx");
        EXPECT_EQ(row.functionId, expected[i].id);
        EXPECT_STREQ(row.name, expected[i].name);
        EXPECT_STREQ(row.prototype, expected[i].prototype);
        EXPECT_EQ(row.minArgs, expected[i].minArgs);
        EXPECT_EQ(row.maxArgs, expected[i].maxArgs);
        EXPECT_EQ(row.flags, 0xFF01u);
    }
}

TEST_F(PluginMain, StringRequests) {
    EXPECT_EQ(StringRequest(128, 128), "Tenvale - Paygrove");
    EXPECT_EQ(StringRequest(129, 128),
              "Allows you to authorize credit cards securely, quickly and easily.");
    EXPECT_EQ(StringRequest(131, 13), "Zkqx1YnYnnn");
    EXPECT_EQ(StringRequest(131, 12), "(untouched)");
    EXPECT_EQ(StringRequest(130, 128), "(untouched)");
    EXPECT_EQ(StringRequest(128, 1), "(untouched)");
}

TEST_F(PluginMain, OtherMessagesChangeNothing) {
    for (uint8_t message :
         {uint8_t{1}, uint8_t{2}, uint8_t{3}, uint8_t{5}, uint8_t{6}, uint8_t{9}}) {
        FMX_ExternCallStruct block = {};
        block.whichCall = message;
        block.result = 777;
        FMExternCallProc(&block);
        EXPECT_EQ(block.result, 777);
    }
}

}  // namespace
