#include <windows.h>

#include <cstring>
#include <limits>
#include <stdexcept>

#include "NativeText.h"

namespace fmwrapper {
namespace {

int Length(std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::length_error("text too long for the code page conversion");
    }
    return static_cast<int>(size);
}

}  // namespace

std::u16string DecodeNative(std::string_view bytes) {
    if (bytes.empty()) {
        return std::u16string();
    }
    const int size = Length(bytes.size());
    const int count = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::u16string units(static_cast<std::size_t>(count), u'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(units.data()),
                        count);
    return units;
}

std::size_t EncodeNative(std::u16string_view units, char* out, std::size_t capacity) {
    if (units.empty()) {
        return 0;
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(units.data());
    const int size = Length(units.size());
    const int count = WideCharToMultiByte(CP_ACP, 0, wide, size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, size, bytes.data(), count, nullptr, nullptr);
    // A double-byte code page's character is never cut in two.
    std::size_t end = 0;
    while (end < bytes.size()) {
        const std::size_t width = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(bytes[end])) ? 2 : 1;
        if (end + width > capacity || end + width > bytes.size()) {
            break;
        }
        end += width;
    }
    std::memcpy(out, bytes.data(), end);
    return end;
}

}  // namespace fmwrapper
