#include "NativeText.h"
#include "Utf.h"

namespace fmwrapper {

std::u16string DecodeNative(std::string_view bytes) {
    return DecodeUtf8(bytes);
}

std::size_t EncodeNative(std::u16string_view units, char* out, std::size_t capacity) {
    return EncodeUtf8(units, out, capacity);
}

}  // namespace fmwrapper
