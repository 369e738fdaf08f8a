#include "wire/ControlBytes.h"

#include <algorithm>

bool IsControlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool HoldsControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), IsControlByte);
}
