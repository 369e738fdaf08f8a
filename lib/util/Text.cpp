#include "util/Text.h"

#include <algorithm>

namespace {

char LowerCaseByte(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char kWhiteSpace[] = " \t\r\n";

}  // namespace

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), LowerCaseByte);
    return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerCaseByte(x) == LowerCaseByte(y);
           });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::string TrimBytes(std::string_view text, std::string_view around) {
    const size_t first = text.find_first_not_of(around);
    if (first == std::string_view::npos) {
        return std::string();
    }
    return std::string(text.substr(first, text.find_last_not_of(around) - first + 1));
}

std::string Trim(std::string_view text) {
    return TrimBytes(text, kWhiteSpace);
}
