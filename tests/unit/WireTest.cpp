// The rules of the texts that travel: length tags, pairs, padding, control bytes and amounts.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "wire/Amount.h"
#include "wire/ControlBytes.h"
#include "wire/LengthTag.h"
#include "wire/Padding.h"
#include "wire/Pairs.h"

namespace {

constexpr char kUnreadable[] = "(unreadable)";

// The pairs as read, "name=value" joined by "|", or kUnreadable.
std::string PairsRead(std::string_view text, ELengthTags tags) {
    std::string read;
    const bool readable =
        ReadPairs(text, '&', tags, [&](std::string_view name, std::string_view value) {
            read.append(read.empty() ? "" : "|").append(name).append("=").append(value);
        });
    return readable ? read : kUnreadable;
}

TEST(Wire, LengthTagIsOneRule) {
    const struct {
        const char* text;
        const char* read;
    } cases[] = {
        {"N[3]=a&b&M=1", "N=a&b|M=1"},
        {"N[0]=&M=1", "N=|M=1"},
        {"N[003]=a=b", "N=a=b"},
        {"A[1][2]=xy", "A[1]=xy"},
        // No tag: the brackets are part of the name.
        {"N[3=abc", "N[3=abc"},
        {"N3]=abc", "N3]=abc"},
        {"N[]=abc", "N[]=abc"},
        {"N[3x]=abc", "N[3x]=abc"},
        {"N[-3]=abc", "N[-3]=abc"},
        {"N[3] =abc", "N[3] =abc"},
        // An empty name is still a tagged one.
        {"[3]=abc&M=1", "=abc|M=1"},
        // A length past the value, or one that does not end where a pair ends.
        {"N[10]=abc", kUnreadable},
        {"N[99999999999999999999999]=abc", kUnreadable},
        {"N[2]=abcd&M=1", kUnreadable},
        {"N[1]=", kUnreadable},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PairsRead(c.text, ELengthTags::Read), c.read) << c.text;
    }
    for (const std::string& value :
         {std::string(), std::string("a&b=c"), std::string("&&"), std::string(12, '=')}) {
        const std::string pair = "NAME" + LengthTag(value.size()) + "=" + value;
        EXPECT_EQ(PairsRead(pair, ELengthTags::Read), "NAME=" + value) << pair;
    }
}

TEST(Wire, PairsCountedAsTheParserReadsThem) {
    const struct {
        const char* text;
        ELengthTags tags;
        size_t count;
    } cases[] = {
        {"result=0&RESULT=0&Result[1]=0", ELengthTags::Read, 3},
        {"RESULT=12&RESPMSG[9]=&RESULT=0", ELengthTags::Read, 1},
        {"RESULT=12&RESPMSG[2]=abRESULT=0", ELengthTags::Read, 1},
        // A tag that is part of the name still names the field; one that is no length does not.
        {"result=0&RESULT=0&Result[1]=0", ELengthTags::Ignored, 3},
        // A tag that would end the reading, where the parser reads it as a name: all counted.
        {"result=1&x=&[11]=;&result=&y", ELengthTags::Ignored, 2},
        {"result[x]=0&&result&result=", ELengthTags::Ignored, 1},
        {"results=0&xresult=0", ELengthTags::Ignored, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CountPairsNamed(c.text, '&', c.tags, "result"), c.count) << c.text;
    }
}

TEST(Wire, PaddingIsBlanksOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"  x y  ", "x y"}, {"   ", ""}, {"", ""}, {"\tx\t ", "\tx\t"}, {" x\r\n", "x\r\n"}};
    for (const auto& [field, value] : cases) {
        EXPECT_EQ(WithoutPadding(field), value) << '"' << field << '"';
    }
}

TEST(Wire, ControlBytes) {
    const std::pair<std::string, bool> cases[] = {
        {"plain text ~", false}, {std::string(1, '\0'), true}, {"a\r\nb", true}, {"\x1f", true},
        {"\x7f", true},          {"\x80\xff", false}};
    for (const auto& [text, holds] : cases) {
        EXPECT_EQ(HoldsControlByte(text), holds) << text;
    }
}

// Amounts compare as the decimals they are, whatever the locale: "less" is what makes a partial
// approval, and "unreadable" leaves the approval as the gateway gave it.
TEST(Wire, AmountsCompareExactly) {
    const struct {
        const char* a;
        const char* b;
        const char* order;  // "<", "=", ">", or kUnreadable when either is no amount
    } cases[] = {
        {"9.99", "10.00", "<"},
        {"10.10", "10.1", "="},
        {"010", "10.", "="},
        {" 5.00 ", "5", "="},
        {"0.05", "0.5", "<"},
        {"0.5", "0.51", "<"},
        {"100", "99.999", ">"},
        {".5", "0.50", "="},
        {"0", "0.00", "="},
        {"12345678901234567890.01", "12345678901234567890.001", ">"},
        {"1,000.00", "1", kUnreadable},
        {"-1", "1", kUnreadable},
        {"$5", "5", kUnreadable},
        {".", "1", kUnreadable},
        {"", "1", kUnreadable},
        {"1.2.3", "1", kUnreadable},
        {"1e3", "1000", kUnreadable},
    };
    for (const auto& c : cases) {
        const std::optional<SAmount> a = ReadAmount(c.a);
        const std::optional<SAmount> b = ReadAmount(c.b);
        const std::string order = !a || !b ? kUnreadable : *a < *b ? "<" : *b < *a ? ">" : "=";
        EXPECT_EQ(order, c.order) << c.a << " against " << c.b;
    }
}

}  // namespace
