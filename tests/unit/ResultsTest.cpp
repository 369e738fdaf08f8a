#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

TEST(Results, ParseResultsStoresFieldsByPosition) {
    const struct {
        const char* response;
        StringMap results;
    } cases[] = {{"1,2,3", {{"x", "1"}, {"y", "2"}, {"z", "3"}}},
                 {"1,,3", {{"x", "1"}, {"z", "3"}}},
                 {"1,2,3,4,5", {{"x", "1"}, {"y", "2"}, {"z", "3"}}},
                 {"1,2", {{"x", "1"}, {"y", "2"}}},
                 {"1,2,", {{"x", "1"}, {"y", "2"}}},
                 {",2", {{"y", "2"}}},
                 {",,", {}},
                 {"", {}},
                 {" 1 , 2", {{"x", " 1 "}, {"y", " 2"}}},
                 {"\"q\",\"r\"", {{"x", "\"q\""}, {"y", "\"r\""}}},
                 {"no delimiter here", {{"x", "no delimiter here"}}}};
    for (const auto& c : cases) {
        pgvtest::CFieldsGateway gateway;
        std::string response = c.response;
        EXPECT_TRUE(gateway.ParseResults(response));
        EXPECT_EQ(gateway.m_Results, c.results) << "from \"" << c.response << '"';
        EXPECT_EQ(response, c.response);
    }
}

TEST(Results, CreateResultsFieldJoinsInNameOrder) {
    const struct {
        StringMap results;
        const char* pairs;
    } cases[] = {{{{"y", "2"}, {"x", "1"}}, "x=1,y=2"},
                 {{}, ""},
                 {{{"x", "a,b=c"}, {"y", ""}}, "x=a,b=c,y="}};
    for (const auto& c : cases) {
        pgvtest::CFieldsGateway gateway;
        gateway.m_Results = c.results;
        gateway.CreateResultsField();
        EXPECT_EQ(gateway.m_Results["pairs"], c.pairs);
    }
}

TEST(Results, GetResponseFieldValueLooksUpLowerCaseNames) {
    pgvtest::CFieldsGateway gateway;
    gateway.m_Results = {{"x_response_code", "1"}, {"shared", "from results"}};
    gateway.m_Params = {{"x_login", "merchant"}, {"X_Amount", "5.00"}, {"shared", "from params"}};
    const struct {
        const char* name;
        const char* value;
    } cases[] = {{"X_Response_Code", "1"},
                 {"x_response_code", "1"},
                 {"X_LOGIN", "merchant"},
                 {"shared", "from results"},
                 {"X_Amount", "Error - no result obtained"},
                 {"missing", "Error - no result obtained"},
                 {"", "Error - no result obtained"}};
    for (const auto& c : cases) {
        std::string value = "previous content";
        gateway.GetResponseFieldValue(c.name, value);
        EXPECT_EQ(value, c.value) << "for \"" << c.name << '"';
    }
}

}  // namespace
