#include "log/Escapes.h"

namespace {

// The value of a hexadecimal digit, or -1 for any other byte.
int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

bool IsEscapeAt(const std::string& text, size_t at) {
    return at + kEscapeSize <= text.size() && text[at] == '%' && HexValue(text[at + 1]) >= 0 &&
           HexValue(text[at + 2]) >= 0;
}

char EscapedByte(const std::string& text, size_t at) {
    return static_cast<char>(HexValue(text[at + 1]) * 16 + HexValue(text[at + 2]));
}
