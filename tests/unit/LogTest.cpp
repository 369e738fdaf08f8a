#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "log/Log.h"
#include "log/LogMask.h"

namespace {

class LogFile : public ::testing::Test {
protected:
    void SetUp() override { m_Log.SetLogFile(m_Path.c_str()); }
    std::string Text() const { return pgvtest::ReadFile(m_Path); }

    pgvtest::CTempDir m_Dir;
    std::string m_Path = m_Dir.File("paygrove.log");
    Log m_Log;
};

TEST_F(LogFile, ClosedLogWritesNothing) {
    m_Log.Write("never opened");
    EXPECT_FALSE(std::filesystem::exists(m_Path));

    Log nowhere;
    nowhere.SetLogFile(m_Dir.File("missing/folder/x.log").c_str());
    EXPECT_FALSE(nowhere.Open(true));
    nowhere.Write("%s", "dropped");
    nowhere.Close();
}

TEST_F(LogFile, OpenAppendsOrTruncates) {
    for (const bool append : {true, false}) {
        pgvtest::WriteFile(m_Path, "old\n");
        ASSERT_TRUE(m_Log.Open(append));
        m_Log.Write("new");
        m_Log.Close();
        EXPECT_EQ(Text(), append ? "old\nnew\n" : "new\n");
    }
}

TEST_F(LogFile, IndentsInStepsOfTwoUpToTwenty) {
    ASSERT_TRUE(m_Log.Open(false));
    m_Log.Write("a");
    m_Log.IncreaseIndent();
    m_Log.Write("b");
    {
        CLogIndent nested(m_Log);
        m_Log.Write("c");
    }
    m_Log.DecreaseIndent();
    m_Log.DecreaseIndent();
    m_Log.Write("d");
    m_Log.IncreaseIndent();
    m_Log.Write("e");
    for (int i = 0; i < 15; ++i) {
        m_Log.IncreaseIndent();
    }
    m_Log.Write("f");
    m_Log.DecreaseIndent();
    m_Log.Write("g");
    m_Log.Write("%s", "");
    m_Log.Write("");
    m_Log.Close();
    EXPECT_EQ(Text(), "a\n  b\n    c\nd\n  e\n" + std::string(20, ' ') + "f\n" +
                          std::string(18, ' ') + "g\n" + std::string(18, ' ') + "\n" +
                          std::string(18, ' ') + "\n");
}

TEST_F(LogFile, TimeStampPrecedesIndent) {
    for (const bool stamps : {true, false}) {
        m_Log.m_TimeStamps = stamps;
        ASSERT_TRUE(m_Log.Open(false));
        CLogIndent indent(m_Log);
        m_Log.Write("step %d", 7);
        m_Log.Close();
        EXPECT_THAT(Text(),
                    ::testing::MatchesRegex(
                        stamps ? "[0-9]{2}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} :   "
                                 "step 7\n"
                               : "  step 7\n"));
    }
}

TEST_F(LogFile, LongMessageStaysOnOneLine) {
    const std::string message(10 * 1024, 'm');
    ASSERT_TRUE(m_Log.Open(false));
    m_Log.Write("%s|%d", message.c_str(), 42);
    m_Log.Close();
    EXPECT_EQ(Text(), message + "|42\n");
}

TEST_F(LogFile, ExistsNeverCreatesTheFile) {
    EXPECT_FALSE(Log::Exists(m_Path.c_str()));
    EXPECT_FALSE(std::filesystem::exists(m_Path));
    pgvtest::WriteFile(m_Path, "");
    EXPECT_TRUE(Log::Exists(m_Path.c_str()));
}

TEST_F(LogFile, SecondOpenFailsUntilClosed) {
    ASSERT_TRUE(m_Log.Open(false));
    m_Log.Write("first");
    EXPECT_FALSE(m_Log.Open(true));
    m_Log.Close();
    ASSERT_TRUE(m_Log.Open(true));
    m_Log.Write("second");
    m_Log.Close();
    EXPECT_EQ(Text(), "first\nsecond\n");
}

TEST_F(LogFile, MaskAppliesToEveryLine) {
    CLogMask mask;
    mask.AddAnywhere("4111111111111111", "XXXXXXXXXXXX1111");
    mask.AddValue("x_card_code", "123", "********");
    m_Log.SetMask(mask);
    ASSERT_TRUE(m_Log.Open(false));
    m_Log.Write("x_card_num=%s", "4111111111111111");
    CLogIndent indent(m_Log);
    m_Log.Write("x_card_code=%d&x_invoice_num=123", 123);
    m_Log.Close();
    EXPECT_EQ(Text(), "x_card_num=XXXXXXXXXXXX1111\n  x_card_code=********&x_invoice_num=123\n");
}

}  // namespace
