// Four-character codes, texts and locales: the objects a plug-in makes and deletes itself.
#include <string_view>
#include <unordered_map>

#include "FMWrapper/FMHost.h"
#include "NativeText.h"
#include "Objects.h"
#include "Utf.h"

namespace fmwrapper {
namespace {

std::unordered_map<const void*, ObjectKind>& LiveObjects() {
    static std::unordered_map<const void*, ObjectKind> objects;
    return objects;
}

bool IsSupported(int32_t encoding) {
    return encoding == kFMX_EncodingNative || encoding == kFMX_EncodingUTF8;
}

std::u16string Decode(std::string_view bytes, int32_t encoding) {
    return encoding == kFMX_EncodingUTF8 ? DecodeUtf8(bytes) : DecodeNative(bytes);
}

std::size_t Encode(std::u16string_view units, char* out, std::size_t capacity, int32_t encoding) {
    return encoding == kFMX_EncodingUTF8 ? EncodeUtf8(units, out, capacity)
                                         : EncodeNative(units, out, capacity);
}

}  // namespace

void AddLiveObject(const void* object, ObjectKind kind) {
    LiveObjects().emplace(object, kind);
}

bool RemoveLiveObject(const void* object, ObjectKind kind) {
    const auto found = LiveObjects().find(object);
    if (found == LiveObjects().end() || found->second != kind) {
        return false;
    }
    LiveObjects().erase(found);
    return true;
}

long LiveObjectCount() {
    return static_cast<long>(LiveObjects().size());
}

}  // namespace fmwrapper

using fmwrapper::CheckCall;
using fmwrapper::Guarded;
using fmwrapper::ObjectKind;
using fmwrapper::Report;

FMX_QuadChar* FM_QuadChar_Constructor2(char c0, char c1, char c2, char c3, FMX_Except* x) {
    return fmwrapper::NewLiveObject<FMX_QuadChar, ObjectKind::kQuadChar>(
        __func__, x, FMX_QuadChar{{c0, c1, c2, c3}});
}

void FM_QuadChar_Delete(FMX_QuadChar* quad, FMX_Except* x) {
    fmwrapper::DeleteLiveObject<FMX_QuadChar, ObjectKind::kQuadChar>(__func__, quad, x);
}

FMX_Text* FM_Text_Constructor1(FMX_Except* x) {
    return fmwrapper::NewLiveObject<FMX_Text, ObjectKind::kText>(__func__, x, FMX_Text{});
}

void FM_Text_Delete(FMX_Text* text, FMX_Except* x) {
    fmwrapper::DeleteLiveObject<FMX_Text, ObjectKind::kText>(__func__, text, x);
}

void FM_Text_Assign(FMX_Text* text, const char* s, int32_t encoding, FMX_Except* x) {
    CheckCall(__func__, x, {{"text", text}});
    Guarded(x, [&] {
        if (s == nullptr) {
            Report(x, kFMX_ErrUnknown);
        } else if (!fmwrapper::IsSupported(encoding)) {
            Report(x, kFMX_ErrUnknown);
        } else {
            text->units = fmwrapper::Decode(s, encoding);
        }
    });
}

uint32_t FM_Text_GetSize(const FMX_Text* text, FMX_Except* x) {
    CheckCall(__func__, x, {{"text", text}});
    return Guarded(x, uint32_t{0}, [&] { return static_cast<uint32_t>(text->units.size()); });
}

void FM_Text_GetBytes(const FMX_Text* text, char* buffer, uint32_t bufferSize, uint32_t position,
                      uint32_t size, int32_t encoding, FMX_Except* x) {
    CheckCall(__func__, x, {{"text", text}});
    Guarded(x, [&] {
        // A caller that ignores the error still finds a valid (empty) string in its buffer.
        const bool writable = buffer != nullptr && bufferSize > 0;
        if (writable) {
            buffer[0] = '\0';
        }
        if (!fmwrapper::IsSupported(encoding)) {
            Report(x, kFMX_ErrUnknown);
        } else if (writable && position < text->units.size()) {
            const std::u16string_view window =
                std::u16string_view(text->units).substr(position, size);
            buffer[fmwrapper::Encode(window, buffer, bufferSize - 1, encoding)] = '\0';
        }
    });
}

FMX_Locale* FM_Locale_Constructor1(int32_t type, FMX_Except* x) {
    return fmwrapper::NewLiveObject<FMX_Locale, ObjectKind::kLocale>(__func__, x, FMX_Locale{type});
}

void FM_Locale_Delete(FMX_Locale* locale, FMX_Except* x) {
    fmwrapper::DeleteLiveObject<FMX_Locale, ObjectKind::kLocale>(__func__, locale, x);
}

long FMHost_LiveObjectCount(void) {
    return fmwrapper::LiveObjectCount();
}

size_t FMHost_Utf16ToUtf8(const uint16_t* units, size_t count, char* buffer, size_t size) {
    try {
        const std::u16string copy = units != nullptr ? std::u16string(units, units + count) : u"";
        return fmwrapper::CopyWholeUtf8(copy, buffer, size);
    } catch (const std::exception&) {
        return fmwrapper::CopyWholeUtf8(u"", buffer, size);
    }
}
