#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

struct SParseCase {
    const char* text;
    bool lowerCase;
    int count;
    StringMap added;
};

// Every case starts from a map that already holds "kept", which no text names.
const SParseCase kParseCases[] = {
    {"a=1|b=2", false, 2, {{"a", "1"}, {"b", "2"}}},
    {"a=1||b=2", false, 2, {{"a", "1"}, {"b", "2"}}},
    {"|a=1|b=2|", false, 2, {{"a", "1"}, {"b", "2"}}},
    {"a=1=2", false, 1, {{"a", "1=2"}}},
    {"b=", false, 1, {{"b", ""}}},
    {"=x", false, 1, {{"", "x"}}},
    {"novalue|k=3", false, 1, {{"k", "3"}}},
    {"a=1|a=2", false, 2, {{"a", "2"}}},
    {" a = 1 ", false, 1, {{" a ", " 1 "}}},
    {"X_Amount=5", false, 1, {{"X_Amount", "5"}}},
    {"X_Amount=5|kept=new", true, 2, {{"x_amount", "5"}, {"kept", "new"}}},
    {"", false, 0, {}},
    {nullptr, false, 0, {}},
    {"no equals sign", false, 0, {}},
    {"|||", false, 0, {}}};

TEST(Parameters, ParseParamsSplitsPairs) {
    for (const SParseCase& c : kParseCases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        StringMap into = {{"kept", "yes"}};
        StringMap expected = c.added;
        expected.insert({"kept", "yes"});
        EXPECT_EQ(CAuthBase::ParseParams(c.text, into, '|', c.lowerCase), c.count);
        EXPECT_EQ(into, expected);
    }
}

TEST(Parameters, SetParametersAccumulatesUntilClear) {
    pgvtest::CFieldsGateway gateway;
    EXPECT_EQ(gateway.SetParameters("X_Amount=1.00|a=1"), 2);
    EXPECT_EQ(gateway.SetParameters("b=2|a=3"), 2);
    EXPECT_EQ(gateway.m_Params, (StringMap{{"X_Amount", "1.00"}, {"a", "3"}, {"b", "2"}}));

    gateway.m_Results["x"] = "1";
    gateway.Clear();
    EXPECT_TRUE(gateway.m_Params.empty());
    EXPECT_TRUE(gateway.m_Results.empty());
}

TEST(Parameters, StripWSRemovesOuterBlanksOnly) {
    const struct {
        const char* text;
        const char* stripped;
    } cases[] = {{"  x y  ", "x y"}, {"   ", ""}, {"", ""}, {"\tx", "\tx"}, {"x\t ", "x\t"}};
    for (const auto& c : cases) {
        std::string text = c.text;
        CAuthBase::StripWS(text);
        EXPECT_EQ(text, c.stripped) << "from \"" << c.text << '"';
    }
}

}  // namespace
