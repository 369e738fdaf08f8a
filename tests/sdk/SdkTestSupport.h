// Owning handles and readers shared by the SDK tests.
#ifndef TESTS_SDK_SDKTESTSUPPORT_H
#define TESTS_SDK_SDKTESTSUPPORT_H

#include <memory>
#include <string>

#include "FMWrapper/FMHost.h"

struct Deleter {
    void operator()(FMX_Text* text) const { FM_Text_Delete(text, nullptr); }
    void operator()(FMX_Locale* locale) const { FM_Locale_Delete(locale, nullptr); }
    void operator()(FMX_QuadChar* quad) const { FM_QuadChar_Delete(quad, nullptr); }
    void operator()(FMX_DataVect* vect) const { FMHost_DataVect_Delete(vect); }
    void operator()(FMX_Data* data) const { FMHost_Data_Delete(data); }
};
template <typename T>
using Owned = std::unique_ptr<T, Deleter>;

inline Owned<FMX_Text> MakeText(const std::string& utf8) {
    Owned<FMX_Text> text(FM_Text_Constructor1(nullptr));
    FM_Text_Assign(text.get(), utf8.c_str(), kFMX_EncodingUTF8, nullptr);
    return text;
}

// Units [position, position + size) read back through a buffer of bufferSize bytes.
inline std::string ReadText(const FMX_Text* text, uint32_t bufferSize = 4096, uint32_t position = 0,
                            uint32_t size = 0xFFFFFFFF) {
    std::string buffer(bufferSize, 'X');
    FM_Text_GetBytes(text, buffer.data(), bufferSize, position, size, kFMX_EncodingUTF8, nullptr);
    return buffer.substr(0, buffer.find('\0'));
}

#endif
