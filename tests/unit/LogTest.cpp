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
    EXPECT_FALSE(Log::Exists(m_Path.c_str()));
    EXPECT_FALSE(std::filesystem::exists(m_Path)) << "Exists created the file";

    Log nowhere;
    nowhere.SetLogFile(m_Dir.File("missing/folder/x.log").c_str());
    EXPECT_FALSE(nowhere.Open(true));
    nowhere.Write("%s", "dropped");
}

TEST_F(LogFile, OpenAppendsOrTruncatesAndOnlyOnce) {
    for (const bool append : {true, false}) {
        pgvtest::WriteFile(m_Path, "old\n");
        EXPECT_TRUE(Log::Exists(m_Path.c_str()));
        ASSERT_TRUE(m_Log.Open(append));
        m_Log.Write("new");
        EXPECT_FALSE(m_Log.Open(true)) << "a second open while open";
        m_Log.Close();
        EXPECT_EQ(Text(), append ? "old\nnew\n" : "new\n");
    }
}

TEST_F(LogFile, IndentsInStepsOfTwoUpToTwenty) {
    ASSERT_TRUE(m_Log.Open(false));
    m_Log.IncreaseIndent();
    m_Log.Write("a");
    {
        CLogIndent nested(m_Log);
        m_Log.Write("b");
    }
    m_Log.DecreaseIndent();
    m_Log.DecreaseIndent();
    m_Log.Write("c");
    for (int i = 0; i < 11; ++i) {
        m_Log.IncreaseIndent();
    }
    m_Log.Write("d");
    m_Log.DecreaseIndent();
    m_Log.Write("%s", "");
    m_Log.Close();
    EXPECT_EQ(Text(),
              "  a\n    b\nc\n" + std::string(20, ' ') + "d\n" + std::string(18, ' ') + "\n");
}

TEST_F(LogFile, TimeStampPrecedesIndentAndLongMessagesStayWhole) {
    m_Log.m_TimeStamps = true;
    ASSERT_TRUE(m_Log.Open(false));
    CLogIndent indent(m_Log);
    const std::string message(10 * 1024, 'm');
    m_Log.Write("%s|%d", message.c_str(), 42);
    m_Log.Close();
    const std::string text = Text();
    EXPECT_THAT(text,
                ::testing::MatchesRegex("[0-9]{2}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} "
                                        ":   m+\\|42\n"));
    EXPECT_EQ(text.size(), 20 + 2 + message.size() + 4);
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
