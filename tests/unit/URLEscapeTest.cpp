#include <gtest/gtest.h>

#include <string>

#include "gateway/URLEscape.h"

namespace {

std::string Repeat(const std::string& text, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

TEST(UrlEscape, EscapesSyntaxAndNonPrintableBytes) {
    const struct {
        std::string in;
        int outSize;
        std::string out;
    } cases[] = {{"AZaz09!'()*-./:_~", 256, "AZaz09!'()*-./:_~"},
                 {";\\?@&=+$, <>#%\"{}|^[]`", 256,
                  "%3B%5C%3F%40%26%3D%2B%24%2C%20%3C%3E%23%25%22%7B%7D%7C%5E%5B%5D%60"},
                 {"\t", 256, "%09"},
                 {"\x7F", 256, "%7F"},
                 {"\xE9", 256, "%E9"},
                 {"\xC3\xA9", 256, "%C3%A9"},
                 {"\x1F", 256, "%1F"},
                 {"\r\n", 256, "%0D%0A"},
                 {std::string(300, 'a'), 256, std::string(255, 'a')},
                 {std::string(255, ' '), 256, Repeat("%20", 255)},
                 {std::string(256, ' '), 256, Repeat("%20", 255)},
                 // The cut counts bytes, so a two-byte character can lose its second half.
                 {Repeat("\xC3\xA9", 150), 256, Repeat("%C3%A9", 127) + "%C3"},
                 {"abc", 3, "ab"},
                 {"", 256, ""},
                 {"abc", 1, ""},
                 {"abc", 0, ""},
                 {"abc", -1, ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(URLEscape(c.in.c_str(), c.outSize), c.out)
            << "from " << c.in.size() << " bytes \"" << c.in.substr(0, 40) << "\", size "
            << c.outSize;
    }
    EXPECT_EQ(URLEscape(nullptr, 256), "");
}

}  // namespace
