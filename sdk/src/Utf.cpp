#include "Utf.h"

namespace fmwrapper {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed sequence that starts at bytes[at] and the character it encodes, or
// 0 when the lead byte does not start one. Overlong forms, encoded surrogates and values beyond
// U+10FFFF are not well-formed.
std::size_t DecodeOne(std::string_view bytes, std::size_t at, char32_t& character) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        character = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        character = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        character = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        character = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() - at < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[at + i]);
        if (!IsContinuation(byte)) {
            return 0;
        }
        character = (character << 6) | (byte & 0x3F);
    }
    if (character < minimum || character > 0x10FFFF ||
        (character >= 0xD800 && character <= 0xDFFF)) {
        return 0;
    }
    return length;
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The character at units[at] and the number of units it takes.
std::size_t NextCharacter(std::u16string_view units, std::size_t at, char32_t& character) {
    const char16_t unit = units[at];
    if (IsHighSurrogate(unit) && at + 1 < units.size() && IsLowSurrogate(units[at + 1])) {
        character = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (units[at + 1] - 0xDC00);
        return 2;
    }
    character = (IsHighSurrogate(unit) || IsLowSurrogate(unit)) ? kReplacement : unit;
    return 1;
}

std::size_t Utf8Width(char32_t character) {
    return character < 0x80 ? 1 : character < 0x800 ? 2 : character < 0x10000 ? 3 : 4;
}

}  // namespace

std::u16string DecodeUtf8(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t character = 0;
        const std::size_t length = DecodeOne(bytes, at, character);
        if (length == 0) {
            units.push_back(static_cast<char16_t>(kReplacement));
            ++at;
            continue;
        }
        at += length;
        if (character >= 0x10000) {
            character -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (character >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (character & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(character));
        }
    }
    return units;
}

std::size_t EncodeUtf8(std::u16string_view units, char* out, std::size_t capacity) {
    std::size_t written = 0;
    for (std::size_t at = 0; at < units.size();) {
        char32_t character = 0;
        at += NextCharacter(units, at, character);
        const std::size_t width = Utf8Width(character);
        if (capacity - written < width) {
            break;
        }
        char* p = out + written;
        switch (width) {
            case 1:
                p[0] = static_cast<char>(character);
                break;
            case 2:
                p[0] = static_cast<char>(0xC0 | (character >> 6));
                p[1] = static_cast<char>(0x80 | (character & 0x3F));
                break;
            case 3:
                p[0] = static_cast<char>(0xE0 | (character >> 12));
                p[1] = static_cast<char>(0x80 | ((character >> 6) & 0x3F));
                p[2] = static_cast<char>(0x80 | (character & 0x3F));
                break;
            default:
                p[0] = static_cast<char>(0xF0 | (character >> 18));
                p[1] = static_cast<char>(0x80 | ((character >> 12) & 0x3F));
                p[2] = static_cast<char>(0x80 | ((character >> 6) & 0x3F));
                p[3] = static_cast<char>(0x80 | (character & 0x3F));
                break;
        }
        written += width;
    }
    return written;
}

std::size_t Utf8Size(std::u16string_view units) {
    std::size_t size = 0;
    for (std::size_t at = 0; at < units.size();) {
        char32_t character = 0;
        at += NextCharacter(units, at, character);
        size += Utf8Width(character);
    }
    return size;
}

std::size_t CopyWholeUtf8(std::u16string_view units, char* buffer, std::size_t size) {
    const std::size_t needed = Utf8Size(units);
    if (buffer != nullptr && size > 0) {
        const std::size_t written = needed < size ? EncodeUtf8(units, buffer, needed) : 0;
        buffer[written] = '\0';
    }
    return needed;
}

}  // namespace fmwrapper
