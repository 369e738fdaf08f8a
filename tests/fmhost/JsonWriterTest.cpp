#include "JsonWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(JsonWriter, EscapesStrings) {
    const std::pair<std::string, std::string> cases[] = {
        {"", R"("")"},
        {"plain", R"("plain")"},
        {"a\"b\\c", R"("a\"b\\c")"},
        {"\n\r\t", R"("\n\r\t")"},
        {"\b\f", R"("\u0008\u000c")"},
        {std::string("\0\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
        {" \x7f/", "\" \x7f/\""},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E\""},
    };
    for (const auto& [text, json] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(fmhost::JsonString(text), json);
    }
}

TEST(JsonWriter, WritesEachLineWithoutSpaces) {
    EXPECT_EQ(fmhost::JsonStartup(51), R"({"startup":51})");
    EXPECT_EQ(fmhost::JsonStartup(-1), R"({"startup":-1})");
    EXPECT_EQ(fmhost::JsonCall("F", {}, 0, std::nullopt),
              R"({"call":"F","args":[],"error":0,"result":null})");
    EXPECT_EQ(fmhost::JsonCall("PGV_Echo", {"a\r", "2"}, -7, std::string("\"")),
              R"({"call":"PGV_Echo","args":["a\r","2"],"error":-7,"result":"\""})");
    EXPECT_EQ(fmhost::JsonCall("F", {""}, 0, std::string()),
              R"({"call":"F","args":[""],"error":0,"result":""})");
    EXPECT_EQ(fmhost::JsonStringAnswer(131, "Opt\t"), R"({"string":131,"text":"Opt\t"})");
    EXPECT_EQ(fmhost::JsonShutdown(), R"({"shutdown":true})");
}

}  // namespace
