#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "log/CardNumbers.h"
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

// Opening a FIFO waits for its other end, so a log there could hold a transaction past its
// time-out; a device is no log either. Neither is opened, and no log at all is written.
TEST_F(LogFile, OnlyARegularFileIsOpened) {
    ASSERT_EQ(mkfifo(m_Path.c_str(), 0600), 0);
    // Its other end, so that an open that took the FIFO would return rather than wait.
    const int reader = open(m_Path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_FALSE(m_Log.Open(true));
    EXPECT_FALSE(Log::Exists(m_Path.c_str()));
    m_Log.Close();
    close(reader);

    Log device;
    device.SetLogFile("/dev/null");
    EXPECT_FALSE(device.Open(true));
    EXPECT_FALSE(Log::Exists("/dev/null"));
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

// The process log has no mask of its own, yet a card number never reaches it in clear.
TEST_F(LogFile, CardNumbersAreHiddenWithoutAMask) {
    ASSERT_TRUE(m_Log.Open(false));
    m_Log.Write("card %s, id %s", "4007000000027", "4007000000028");
    m_Log.Close();
    EXPECT_EQ(Text(), "card XXXXXXXXX0027, id 4007000000028\n");
}

// Secrets are looked for in the line as given and replaced in one pass, the longest first.
TEST(LogMask, ReplacesEveryOccurrenceInOnePass) {
    const struct {
        std::vector<std::pair<std::string, std::string>> anywhere;
        std::string line;
        std::string masked;
    } cases[] = {// A mask that looks like a secret is not masked again.
                 {{{"abcdef", "ABCDEF"}, {"ABCDEF", "zzz"}}, "abcdef ABCDEF", "ABCDEF zzz"},
                 // The longer secret wins where one holds the other.
                 {{{"secret", "[short]"}, {"my-secret-key", "[long]"}},
                  "my-secret-key secret",
                  "[long] [short]"},
                 // Overlapping without one holding the other: both go, under one mask.
                 {{{"abcdef12", "[a]"}, {"12345678", "[b]"}}, "x abcdef12345678 y", "x ******** y"},
                 {{{"abcdef", "[a]"}}, "abcdefabcdef", "[a][a]"},
                 // A card number inside a longer secret goes with it.
                 {{{"4111111111111111Zk9", "[key]"}},
                  "4111111111111111Zk9 4111111111111111",
                  "[key] XXXXXXXXXXXX1111"},
                 // A secret inside a card number does not uncover the card's digits.
                 {{{"111111", "[pin]"}}, "4111111111111111 111111", "XXXXXXXXXXXX1111 [pin]"},
                 {{}, "no secrets", "no secrets"},
                 {{}, "", ""}};
    for (const auto& c : cases) {
        CLogMask mask;
        for (const auto& [secret, masked] : c.anywhere) {
            mask.AddAnywhere(secret, masked);
        }
        EXPECT_EQ(mask.Apply(c.line), c.masked) << c.line;
    }
}

TEST(LogMask, FindsCardNumbersAndTrackData) {
    const struct {
        std::string text;
        std::string masked;
    } cases[] = {
        {"4111111111111111", "XXXXXXXXXXXX1111"},
        {"a4111111111111111b", "aXXXXXXXXXXXX1111b"},
        {"4111111111111112", "4111111111111112"},
        {"41111111111111110", "41111111111111110"},
        {"4111-1111-1111-1111 and 4111 1111 1111 1111",
         "XXXX-XXXX-XXXX-1111 and XXXX XXXX XXXX 1111"},
        {"4111  1111 1111 1111", "XXXX  XXXX XXXX 1111"},
        {"x=Card%205424%200000%200000%200015%20on", "x=Card%20XXXX%20XXXX%20XXXX%200015%20on"},
        {"x=5424+0000+0000+0015&y=%2020", "x=XXXX+XXXX+XXXX+0015&y=%2020"},
        // An escaped byte's hexadecimal digits are no digits of the card beside it.
        {"x=card%20%234111111111111111&y", "x=card%20%23XXXXXXXXXXXX1111&y"},
        {"%404007000000027%40", "%40XXXXXXXXX0027%40"},
        {"x=J%e94111111111111111%E9", "x=J%e9XXXXXXXXXXXX1111%E9"},
        {"x=%B44111111111111111", "x=%B4XXXXXXXXXXXX1111"},
        {"12-06-26 16:36:19 : Product", "12-06-26 16:36:19 : Product"},
        {"x=;4111111111111111=30121010000012345678?&y=1", "x=********&y=1"},
        {"x=4111111111111111=3012101&y=1", "x=********&y=1"},
        {"4111111111111111=30", "XXXXXXXXXXXX1111=30"},
        {"t=%B4111111111111111^DOE/JOHN ^30121010000000000000?;4111111111111111=3012?",
         "t=****************"},
        {"t=B4111111111111111^DOE/JOHN^3012101|u=2", "t=********|u=2"},
        {"t=X4111111111111111^DOE", "t=X" + std::string(12, 'X') + "1111^DOE"}};
    for (const auto& c : cases) {
        EXPECT_EQ(CLogMask().Apply(c.text), c.masked) << c.text;
    }
    EXPECT_TRUE(IsTrackData("%B4111111111111111^DOE/JOHN^3012?"));
    EXPECT_TRUE(IsTrackData(";4111111111111111=3012?"));
    EXPECT_FALSE(IsTrackData("4111111111111111"));
    EXPECT_FALSE(IsTrackData("4111111111111112=30121010"));
}

// A card number is hidden with any run of separators between its groups, as written and escaped
// as a request or a form escapes it, its digits escaped too, in every line the log masks.
TEST(LogMask, CardNumbersWithAnySeparatorsInEveryLine) {
    const struct {
        std::string written;
        std::string masked;
    } numbers[] = {
        {"4111 1111  1111 1111", "XXXX XXXX  XXXX 1111"},
        {"5424 - 0000 - 0000 - 0015", "XXXX - XXXX - XXXX - 0015"},
        {"4111\t1111\t1111\t1111", "XXXX\tXXXX\tXXXX\t1111"},
        {"4111+1111+1111+1111", "XXXX+XXXX+XXXX+1111"},
        {"4111.1111.1111.1111", "XXXX.XXXX.XXXX.1111"},
        {"4111 \t-+. 1111-1111-1111", "XXXX \t-+. XXXX-XXXX-1111"},
        // Non-breaking spaces as UTF-8, Windows-1252 and Mac Roman write them.
        {"4111\xC2\xA0"
         "1111\xC2\xA0"
         "1111\xC2\xA0"
         "1111",
         "XXXX\xC2\xA0"
         "XXXX\xC2\xA0"
         "XXXX\xC2\xA0"
         "1111"},
        {"4111\xA0"
         "1111\xA0"
         "1111\xA0"
         "1111",
         "XXXX\xA0"
         "XXXX\xA0"
         "XXXX\xA0"
         "1111"},
        {"4111\xCA"
         "1111\xCA"
         "1111\xCA"
         "1111",
         "XXXX\xCA"
         "XXXX\xCA"
         "XXXX\xCA"
         "1111"},
        // As a request or a form escapes them.
        {"4111%20%201111%201111%201111", "XXXX%20%20XXXX%20XXXX%201111"},
        {"5424%20-%200000%20-%200000%20-%200015", "XXXX%20-%20XXXX%20-%20XXXX%20-%200015"},
        {"4111%091111%091111%091111", "XXXX%09XXXX%09XXXX%091111"},
        {"4111%2B1111%2B1111%2B1111", "XXXX%2BXXXX%2BXXXX%2B1111"},
        {"4111%2b1111%2d1111%2e1111", "XXXX%2bXXXX%2dXXXX%2e1111"},
        {"4111+%2D+1111++1111+1111", "XXXX+%2D+XXXX++XXXX+1111"},
        {"4111%C2%A01111%C2%A01111%C2%A01111", "XXXX%C2%A0XXXX%C2%A0XXXX%C2%A01111"},
        {"4111%A01111%A01111%A01111", "XXXX%A0XXXX%A0XXXX%A01111"},
        {"4111%CA1111%CA1111%CA1111", "XXXX%CAXXXX%CAXXXX%CA1111"},
        // Digits escaped: each is one digit, and one X when hidden.
        {"%34%31%31%31%20%31%31%31%31%20%31%31%31%31%20%31%31%31%31",
         "XXXX%20XXXX%20XXXX%20%31%31%31%31"},
        {"%341111111111111%31%31", "XXXXXXXXXXXX11%31%31"},
    };
    // Each line as the transaction log writes it, the number where the line holds a value.
    const std::string places[] = {
        "  x_card_num=#",
        "   URL - x_amount=1.00&x_card_num=#&x_type=AUTH_CAPTURE",
        "Opening connection to https://secure.authorize.net/gateway/transact.dll?x_card_num=#",
        "  all=|1|,|1|,|1|,|This transaction has been approved.|,|card #|",
        "  pairs=x_response_code=1,x_description=#,x_amount=1.00",
        "  x_description=#",
    };
    const auto placed = [](std::string place, const std::string& value) {
        return place.replace(place.find('#'), 1, value);
    };
    for (const auto& number : numbers) {
        for (const std::string& place : places) {
            EXPECT_EQ(CLogMask().Apply(placed(place, number.written)), placed(place, number.masked))
                << place << ": " << number.written;
        }
    }
}

std::string Repeated(const std::string& head, const std::string& piece, size_t size) {
    std::string text = head;
    while (text.size() < size) {
        text += piece;
    }
    return text;
}

// Lines made to cost the mask the most, masked as any other line.
TEST(LogMask, CraftedLinesAreMaskedWhole) {
    constexpr size_t kSize = 20 * 1024;
    // A card number, then groups that its last four digits, and each group's last four, make a
    // card number with the next group: nothing but the last four digits of all shows.
    const std::string chain = Repeated("4111111111111111", " 100071111", kSize);
    std::string chainMasked = chain;
    const size_t lastFour = chainMasked.size() - 4;
    std::replace_if(
        chainMasked.begin(), chainMasked.begin() + static_cast<std::ptrdiff_t>(lastFour),
        [](char c) { return c >= '0' && c <= '9'; }, 'X');
    // Track 2 again and again in one value: all of it goes.
    const std::string tracks = Repeated("", "4111111111111111=3012;", kSize);
    // Zeros joined by blanks: every 13 to 19 of them make a card number, and all go as one.
    const std::string zeros = Repeated("", "0 ", kSize);
    // The short secret after "]=" where no name stands stays; as its parameter's value it goes.
    const std::string tags = Repeated("", "]=123&", kSize);
    const struct {
        std::string line;
        std::string masked;
    } cases[] = {
        {chain, chainMasked},
        {"x=" + tracks + "&x_card_code=123", "x=********&x_card_code=********"},
        {"x=" + zeros + "&y=1", "x=******** &y=1"},
        {tags + "x_card_code=123", tags + "x_card_code=********"},
        {"x_card_code[3]=123&" + tags, "x_card_code[3]=********&" + tags},
    };
    CLogMask mask;
    mask.AddValue("x_card_code", "123", kHiddenValue);
    for (const auto& c : cases) {
        EXPECT_EQ(mask.Apply(c.line), c.masked) << c.line.substr(0, 40);
    }
}

}  // namespace
