#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/Query.h"

namespace pgv::sandbox {
namespace {

TEST(DecodeQuery, DecodesOnlyWhatIsProperlyEscaped) {
    const std::pair<std::string, ParamList> accepted[] = {
        {"b=2&a=&c=d=e&b=1", {{"b", "2"}, {"a", ""}, {"c", "d=e"}, {"b", "1"}}},
        {"a%5Fb=%20%2b%2B%7c%00%C3%A9-._~!'()*/:",
         {{"a_b", std::string(" ++|\0\xC3\xA9-._~!'()*/:", 18)}}},
    };
    for (const auto& [raw, params] : accepted) {
        EXPECT_EQ(DecodeQuery(raw, EPlus::Forbidden).params, params) << raw;
    }
    EXPECT_EQ(DecodeQuery("a=b+c&d=%2B", EPlus::Blank).params,
              (ParamList{{"a", "b c"}, {"d", "+"}}));

    std::vector<std::pair<std::string, std::string>> rejected = {
        {"a=b+c", "the byte 0x2B ('+') at offset 3 must be percent-encoded"},
        {"a&b=1", "parameter \"a\" has no '='"},
        {"=1", "parameter at offset 0 has no name"},
        {"a=1&&b=2", "empty parameter at offset 4"},
        {"a=1&", "the query ends in '&'"},
    };
    for (const unsigned char raw : std::string(" \"#$,;?@[\t\x7F\xC3")) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", raw);
        rejected.emplace_back("a=" + std::string(1, static_cast<char>(raw)), hex);
    }
    for (const char* escape : {"a=%", "a=%4", "a=%zz", "a=%4g"}) {
        rejected.emplace_back(escape, "malformed percent escape at offset 2");
    }
    for (const auto& [raw, problem] : rejected) {
        const SDecodedQuery decoded = DecodeQuery(raw, EPlus::Forbidden);
        EXPECT_FALSE(decoded.ok) << raw;
        EXPECT_NE(decoded.error.find(problem), std::string::npos) << raw << ": " << decoded.error;
    }
}

}  // namespace
}  // namespace pgv::sandbox
