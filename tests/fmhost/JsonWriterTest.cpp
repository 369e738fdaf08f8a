#include "JsonWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// Whole lines are compared in FmhostRunTest; here only the escaping.
TEST(JsonWriter, EscapesStrings) {
    const std::pair<std::string, std::string> cases[] = {
        {"", R"("")"},
        {"a\"b\\c", R"("a\"b\\c")"},
        {"\n\r\t", R"("\n\r\t")"},
        {std::string("\0\x01\b\f\x1f", 5), R"("\u0000\u0001\u0008\u000c\u001f")"},
        {" \x7f/\xC3\xA9\xF0\x9D\x84\x9E", "\" \x7f/\xC3\xA9\xF0\x9D\x84\x9E\""},
    };
    for (const auto& [text, json] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(fmhost::JsonString(text), json);
    }
}

}  // namespace
