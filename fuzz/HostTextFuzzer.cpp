// The stand-in host's texts: any bytes assigned in either encoding, read back into buffers of any
// size from any position, never write past the buffer and always end it with a zero byte.
#include <FMWrapper/FMHost.h>
#include <FMWrapper/FMWrapper.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    const int32_t encoding = data[0] & 1 ? kFMX_EncodingUTF8 : kFMX_EncodingNative;
    const uint32_t bufferSize = data[1];
    const uint32_t position = data[2] % 8;
    const uint32_t count = data[3] == 0xFF ? 0xFFFFFFFF : data[3];
    const std::string bytes(reinterpret_cast<const char*>(data) + 4, size - 4);

    FMX_Except x = {};
    FMX_Text* text = FM_Text_Constructor1(&x);
    FM_Text_Assign(text, bytes.c_str(), encoding, &x);
    const uint32_t characters = FM_Text_GetSize(text, &x);
    // A guard byte after the buffer shows a write past its end.
    std::vector<char> buffer(bufferSize + 1, '\x5A');
    FM_Text_GetBytes(text, bufferSize == 0 ? nullptr : buffer.data(), bufferSize, position, count,
                     encoding, &x);
    if (buffer[bufferSize] != '\x5A' ||
        (bufferSize > 0 && std::memchr(buffer.data(), '\0', bufferSize) == nullptr) ||
        characters > bytes.size()) {
        std::abort();
    }
    FM_Text_Delete(text, &x);
    return 0;
}
