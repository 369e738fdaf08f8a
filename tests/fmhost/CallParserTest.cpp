#include "CallParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using fmhost::ParseScriptLine;
using fmhost::QuoteText;
using fmhost::ScriptLine;

struct CallCase {
    std::string line;
    std::string function;
    std::vector<std::string> args;
};

TEST(CallParser, ReadsCalls) {
    const CallCase cases[] = {
        {R"(PGV_SetParameters ( "x_amount=1.00|x_card_num=4111111111111111" ))",
         "PGV_SetParameters",
         {"x_amount=1.00|x_card_num=4111111111111111"}},
        {"PGV_Version", "PGV_Version", {}},
        {"  PGV_Version  \t", "PGV_Version", {}},
        {"PGV_Version()", "PGV_Version", {}},
        {"PGV_Version ( \t)", "PGV_Version", {}},
        {"\tF\t(\t\"a\"\t;\t\"b\"\t)\t", "F", {"a", "b"}},
        {R"(F("say \"hi\""))", "F", {"say \"hi\""}},
        {R"(F("a\\b\\"))", "F", {"a\\b\\"}},
        {R"(F("a¶b"))", "F", {"a\rb"}},
        {R"(F("a\¶b"))", "F", {"a¶b"}},
        {R"x(F("";"(;)"))x", "F", {"", "(;)"}},
        {"F(12; -3;+4.50 ; 0.5)", "F", {"12", "-3", "+4.50", "0.5"}},
        {"F(\"x\")\r", "F", {"x"}},
        {"F\r", "F", {}},
        {"F(\"tab\there é\")", "F", {"tab\there é"}},
        {"Fake.Echo_2(1)", "Fake.Echo_2", {"1"}},
        {"_fé(1)", "_fé", {"1"}},
    };
    for (const CallCase& c : cases) {
        SCOPED_TRACE(c.line);
        const ScriptLine parsed = ParseScriptLine(c.line);
        ASSERT_EQ(parsed.kind, ScriptLine::Kind::kCall) << parsed.error;
        EXPECT_EQ(parsed.function, c.function);
        EXPECT_EQ(parsed.args, c.args);
    }
}

TEST(CallParser, SkipsBlankAndCommentLines) {
    for (const char* line : {"", "   ", "\t", "\r", " \t\r", "# F(", "   #x", "#"}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(ParseScriptLine(line).kind, ScriptLine::Kind::kSkip);
    }
}

struct ErrorCase {
    std::string line;
    std::string error;
};

TEST(CallParser, NamesWhatIsWrongWithAMalformedLine) {
    const ErrorCase cases[] = {
        {R"(F("abc)", "unterminated text"},
        {R"(F("abc\)", "unterminated text"},
        {R"(F("abc")", "missing \")\""},
        {"F(", "missing \")\""},
        {"F(  ", "missing \")\""},
        {"F(1", "missing \")\""},
        {R"(F("a";)", "missing a parameter"},
        {R"(F("a") x)", "unexpected \"x\" after \")\""},
        {R"(F("a") # note)", "unexpected \"#\" after \")\""},
        {R"(F("a")))", "unexpected \")\" after \")\""},
        {R"(F("a\n"))", "bad escape \\ followed by \"n\""},
        {"F(\"a\\\t\")", "bad escape \\ followed by byte 0x09"},
        {"F(abc)", "expected a parameter (a quoted text or a number), found \"a\""},
        {"F(;)", "found \";\""},
        {R"(F("a";))", "found \")\""},
        {R"(F("a" "b"))", "expected \";\" or \")\", found \"\"\""},
        {"F(1.)", "bad number \"1.\""},
        {"F(.5)", "found \".\""},
        {"F(-)", "bad number \"-\""},
        {"F(- 1)", "bad number \"-\""},
        {"F(1e5)", "bad number \"1e5\""},
        {"F(1.2.3)", "bad number \"1.2.3\""},
        {"F(12\"a\")", "bad number \"12\"a\"\""},
        {"(1)", "expected a function name, found \"(\""},
        {"\"F\"", "expected a function name"},
        {"1F", "expected a function name"},
        {"F \"a\"", "unexpected \"\"\" after the function name"},
        {"F;", "unexpected \";\" after the function name"},
        {"F G", "unexpected \"G\" after the function name"},
        {std::string("F(\"a\0b\")", 8), "NUL byte"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.line);
        const ScriptLine parsed = ParseScriptLine(c.line);
        ASSERT_EQ(parsed.kind, ScriptLine::Kind::kError);
        EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
    }
}

TEST(CallParser, QuotesTextsInTheSameNotation) {
    const std::pair<std::string, std::string> cases[] = {
        {"", R"("")"},
        {"plain é", R"("plain é")"},
        {"a\"b", R"("a\"b")"},
        {"a\\b", R"("a\\b")"},
        {"a\rb", R"("a¶b")"},
        {"a¶b", R"("a\¶b")"},
        {"a\nb\x01", R"("a\u000ab\u0001")"},
        {"a\tb", "\"a\tb\""},
    };
    for (const auto& [text, quoted] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(QuoteText(text), quoted);
    }
}

TEST(CallParser, ReadsBackWhatItQuotes) {
    for (const std::string text : {"", "a\"b\\c", "\r¶\\¶\r", "\\\"", "x;)"}) {
        SCOPED_TRACE(text);
        const ScriptLine parsed = ParseScriptLine("F(" + QuoteText(text) + ")");
        ASSERT_EQ(parsed.kind, ScriptLine::Kind::kCall) << parsed.error;
        EXPECT_EQ(parsed.args, std::vector<std::string>{text});
    }
}

}  // namespace
