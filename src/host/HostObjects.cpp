#include "host/HostObjects.h"

#include <new>
#include <vector>

namespace {

constexpr uint32_t kToEnd = 0xFFFFFFFF;

// A host object that could not be made leaves nothing to work with.
template <typename T>
T* Created(T* object, const FMX_Except& x) {
    if (object == nullptr || x.m_code != kFMX_ErrNone) {
        throw std::bad_alloc();
    }
    return object;
}

}  // namespace

CHostText::CHostText() {
    FMX_Except x = {};
    m_Text = Created(FM_Text_Constructor1(&x), x);
}

CHostText::~CHostText() {
    FMX_Except x = {};
    FM_Text_Delete(m_Text, &x);
}

void CHostText::Assign(const char* bytes) {
    FMX_Except x = {};
    FM_Text_Assign(m_Text, bytes, kFMX_EncodingNative, &x);
}

CHostLocale::CHostLocale() {
    FMX_Except x = {};
    m_Locale = Created(FM_Locale_Constructor1(kFMX_LocaleSystem, &x), x);
}

CHostLocale::~CHostLocale() {
    FMX_Except x = {};
    FM_Locale_Delete(m_Locale, &x);
}

CHostQuadChar::CHostQuadChar(char c0, char c1, char c2, char c3) {
    FMX_Except x = {};
    m_Quad = Created(FM_QuadChar_Constructor2(c0, c1, c2, c3, &x), x);
}

CHostQuadChar::~CHostQuadChar() {
    FMX_Except x = {};
    FM_QuadChar_Delete(m_Quad, &x);
}

std::string ReadTextParameter(const FMX_DataVect* parms, uint32_t index, size_t bufferSize) {
    FMX_Except x = {};
    const FMX_Text* text = FM_DataVect_AtAsText(parms, index, &x);
    if (text == nullptr || bufferSize == 0) {
        return std::string();
    }
    std::vector<char> buffer(bufferSize, '\0');
    FM_Text_GetBytes(text, buffer.data(), static_cast<uint32_t>(bufferSize), 0, kToEnd,
                     kFMX_EncodingNative, &x);
    buffer.back() = '\0';
    return std::string(buffer.data());
}

uint32_t TextParameterSize(const FMX_DataVect* parms, uint32_t index) {
    FMX_Except x = {};
    const FMX_Text* text = FM_DataVect_AtAsText(parms, index, &x);
    return text == nullptr ? 0 : FM_Text_GetSize(text, &x);
}

void SetResultText(FMX_Data* result, const char* bytes, const FMX_Locale* locale) {
    CHostText text;
    text.Assign(bytes);
    FMX_Except x = {};
    FM_Data_SetAsText(result, text.Get(), locale, kFMX_DataTypeText, &x);
}
