// URL escaping: the escaped text holds only unreserved bytes and %XX escapes, and decodes to the
// input's first outSize - 1 bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gateway/URLEscape.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const int outSize = (data[0] << 8 | data[1]) - 1;
    const std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string escaped = URLEscape(input.c_str(), outSize);
    std::string decoded;
    for (size_t at = 0; at < escaped.size(); ++at) {
        const char c = escaped[at];
        if (c == '%') {
            if (at + 2 >= escaped.size()) {
                std::abort();
            }
            decoded +=
                static_cast<char>(HexValue(escaped[at + 1]) * 16 + HexValue(escaped[at + 2]));
            at += 2;
        } else if (std::strchr(";\\?@&=+$, <>#%\"{}|^[]`", c) != nullptr ||
                   static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
            std::abort();
        } else {
            decoded += c;
        }
    }
    const std::string text = input.c_str();
    const size_t kept = outSize <= 1 ? 0 : std::min(text.size(), static_cast<size_t>(outSize - 1));
    if (decoded != text.substr(0, kept)) {
        std::abort();
    }
    return 0;
}
