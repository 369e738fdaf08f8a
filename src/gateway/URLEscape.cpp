#include "gateway/URLEscape.h"

#include <cstring>

namespace {

constexpr char kReserved[] = ";\\?@&=+$, <>#%\"{}|^[]`";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool NeedsEscape(unsigned char byte) {
    return byte < 0x20 || byte >= 0x7F || std::strchr(kReserved, byte) != nullptr;
}

}  // namespace

std::string URLEscape(const char* in, int outSize) {
    std::string out;
    if (in == nullptr || outSize <= 1) {
        return out;
    }
    const size_t allowance = static_cast<size_t>(outSize) - 1;
    for (size_t i = 0; i < allowance && in[i] != '\0'; ++i) {
        const auto byte = static_cast<unsigned char>(in[i]);
        if (NeedsEscape(byte)) {
            out += '%';
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0x0F];
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}
