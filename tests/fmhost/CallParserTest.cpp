#include "CallParser.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using fmhost::ParseScriptLine;
using fmhost::QuoteText;
using fmhost::ScriptLine;

TEST(CallParser, ReadsCalls) {
    const struct {
        std::string line, function;
        std::vector<std::string> args;
    } cases[] = {
        {"F ( \t)", "F", {}},
        {"\tF\t(\t\"a\"\t;\t\"b\"\t)\t", "F", {"a", "b"}},
        {R"(F("say \"hi\" a\\b\\"))", "F", {"say \"hi\" a\\b\\"}},
        {R"(F("a¶b\¶"))", "F", {"a\rb¶"}},
        {"F(\"\";\"(;) tab\té\")", "F", {"", "(;) tab\té"}},
        {"F(12; -3;+4.50 ; 0.5)", "F", {"12", "-3", "+4.50", "0.5"}},
        {"_fé.Echo_2(1)", "_fé.Echo_2", {"1"}},
        {R"(F("a\u000Ab\u0000c\u00e9\u20AC"))", "F", {std::string("a\nb\0cé€", 10)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const ScriptLine parsed = ParseScriptLine(c.line);
        ASSERT_EQ(parsed.kind, ScriptLine::Kind::kCall) << parsed.error;
        EXPECT_EQ(parsed.function, c.function);
        EXPECT_EQ(parsed.args, c.args);
    }
    for (const char* line : {"", " \t\r", "# F(", "   #x"}) {
        EXPECT_EQ(ParseScriptLine(line).kind, ScriptLine::Kind::kSkip) << line;
    }
}

TEST(CallParser, NamesWhatIsWrongWithAMalformedLine) {
    const std::pair<std::string, std::string> cases[] = {
        {R"(F("abc)", "unterminated text"},
        {R"(F("abc")", "missing \")\""},
        {R"(F("a";)", "missing a parameter"},
        {R"(F("a") # note)", "unexpected \"#\" after \")\""},
        {R"(F("a\n"))", "bad escape \\ followed by \"n\""},
        {"F(\"a\\\t\")", "bad escape \\ followed by byte 0x09"},
        {"F(abc)", "expected a parameter (a quoted text or a number), found \"a\""},
        {R"(F("a" "b"))", "expected \";\" or \")\", found \"\"\""},
        {"F(- 1)", "bad number \"-\""},
        {"F(1e5)", "bad number \"1e5\""},
        {"F(12\"a\")", "bad number \"12\"a\"\""},
        {"1F", "expected a function name, found \"1\""},
        {"F G", "unexpected \"G\" after the function name"},
        {std::string("F(\"a\0b\")", 8), "NUL byte"},
        {R"(F("a\u12"))", "bad escape \\u in a text"},
        {R"(F("\u00g0"))", "bad escape \\u in a text"},
        {R"(F("\uD834\uDD1E"))", "bad escape \\u in a text"},
    };
    for (const auto& [line, error] : cases) {
        SCOPED_TRACE(line);
        const ScriptLine parsed = ParseScriptLine(line);
        ASSERT_EQ(parsed.kind, ScriptLine::Kind::kError);
        EXPECT_NE(parsed.error.find(error), std::string::npos) << parsed.error;
    }
}

TEST(CallParser, QuotesTextsSoThatTheyReadBack) {
    const std::string text = "a\"b\\c\\\rd¶\té";
    EXPECT_EQ(QuoteText(text), "\"a\\\"b\\\\c\\\\¶d\\¶\té\"");
    EXPECT_EQ(ParseScriptLine("F(" + QuoteText(text) + ")").args, std::vector<std::string>{text});
    // Other control characters keep a result on one line, and read back.
    const std::string controls("a\nb\x01\0", 5);
    EXPECT_EQ(QuoteText(controls), R"("a\u000ab\u0001\u0000")");
    EXPECT_EQ(ParseScriptLine("F(" + QuoteText(controls) + ")").args,
              std::vector<std::string>{controls});
}

}  // namespace
