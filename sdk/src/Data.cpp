// Parameter vectors and results: made and owned by the host, read and set by the plug-in.
#include <cstring>
#include <string_view>

#include "FMWrapper/FMHost.h"
#include "Objects.h"
#include "Utf.h"

using fmwrapper::CheckCall;
using fmwrapper::Guarded;
using fmwrapper::Report;

namespace {

const FMX_Data* MemberAt(const FMX_DataVect* vect, uint32_t position, FMX_Except* x) {
    if (vect == nullptr || position >= vect->members.size()) {
        Report(x, kFMX_ErrUnknown);
        return nullptr;
    }
    return vect->members[position].get();
}

}  // namespace

uint32_t FM_DataVect_Size(const FMX_DataVect* vect, FMX_Except* x) {
    CheckCall(__func__, x, {{"parameter vector", vect}});
    return Guarded(x, uint32_t{0}, [&] { return static_cast<uint32_t>(vect->members.size()); });
}

const FMX_Text* FM_DataVect_AtAsText(const FMX_DataVect* vect, uint32_t position, FMX_Except* x) {
    CheckCall(__func__, x, {{"parameter vector", vect}});
    return Guarded(x, static_cast<const FMX_Text*>(nullptr), [&] {
        const FMX_Data* member = MemberAt(vect, position, x);
        return member != nullptr ? &member->text : nullptr;
    });
}

const FMX_Data* FM_DataVect_At(const FMX_DataVect* vect, uint32_t position, FMX_Except* x) {
    CheckCall(__func__, x, {{"parameter vector", vect}});
    return Guarded(x, static_cast<const FMX_Data*>(nullptr),
                   [&] { return MemberAt(vect, position, x); });
}

const FMX_Locale* FM_Data_GetLocale(const FMX_Data* data, FMX_Except* x) {
    CheckCall(__func__, x, {{"data", data}});
    return Guarded(x, static_cast<const FMX_Locale*>(nullptr), [&] { return &data->locale; });
}

FMX_ErrorCode FM_Data_SetAsText(FMX_Data* data, const FMX_Text* text, const FMX_Locale* locale,
                                int32_t dataType, FMX_Except* x) {
    CheckCall(__func__, x, {{"data", data}, {"text", text}, {"locale", locale}});
    const FMX_ErrorCode code = Guarded(x, FMX_ErrorCode{kFMX_ErrOutOfMemory}, [&] {
        if (dataType != kFMX_DataTypeText) {
            return FMX_ErrorCode{kFMX_ErrUnknown};
        }
        data->text.units = text->units;
        data->locale = *locale;
        data->set = true;
        return FMX_ErrorCode{kFMX_ErrNone};
    });
    Report(x, code);
    return code;
}

FMX_DataVect* FMHost_DataVect_New(void) {
    return Guarded(nullptr, static_cast<FMX_DataVect*>(nullptr), [] { return new FMX_DataVect; });
}

void FMHost_DataVect_Delete(FMX_DataVect* vect) {
    delete vect;
}

int FMHost_DataVect_AppendText(FMX_DataVect* vect, const char* utf8) {
    return utf8 == nullptr ? 0 : FMHost_DataVect_AppendTextBytes(vect, utf8, std::strlen(utf8));
}

int FMHost_DataVect_AppendTextBytes(FMX_DataVect* vect, const char* utf8, size_t size) {
    return Guarded(nullptr, 0, [&] {
        if (vect == nullptr || utf8 == nullptr) {
            return 0;
        }
        auto member = std::make_unique<FMX_Data>();
        member->text.units = fmwrapper::DecodeUtf8(std::string_view(utf8, size));
        member->set = true;
        vect->members.push_back(std::move(member));
        return 1;
    });
}

const FMX_Locale* FMHost_DataVect_LocaleAt(const FMX_DataVect* vect, uint32_t position) {
    const FMX_Data* member = MemberAt(vect, position, nullptr);
    return member != nullptr ? &member->locale : nullptr;
}

FMX_Data* FMHost_Data_New(void) {
    return Guarded(nullptr, static_cast<FMX_Data*>(nullptr), [] { return new FMX_Data; });
}

void FMHost_Data_Delete(FMX_Data* data) {
    delete data;
}

int FMHost_Data_IsSet(const FMX_Data* data) {
    return data != nullptr && data->set ? 1 : 0;
}

size_t FMHost_Data_GetText(const FMX_Data* data, char* buffer, size_t size) {
    return fmwrapper::CopyWholeUtf8(
        data != nullptr ? std::u16string_view(data->text.units) : std::u16string_view(), buffer,
        size);
}

const FMX_Locale* FMHost_Data_Locale(const FMX_Data* data) {
    return data != nullptr && data->set ? &data->locale : nullptr;
}
