// A plug-in reduced to what the fmhost tests need. It starts on desktop hosts of interface version
// 57 or later, registers Fake_Echo (1 or 2 parameters; the result is their concatenation) and
// Fake_Unset (no parameters; leaves the result unset, returns error 42), answers string requests,
// and notes start-up and shut-down on standard error so a test sees both were sent.
#include <algorithm>
#include <cstdio>
#include <string>

#include "FMWrapper/FMWrapper.h"

namespace {

constexpr int16_t kEchoId = 1;
constexpr int16_t kUnsetId = 2;

FMX_ErrorCode Echo(int16_t, const FMX_ExprEnv*, const FMX_DataVect* parms, FMX_Data* result) {
    FMX_Except x{};
    std::string joined;
    for (uint32_t i = 0; i < FM_DataVect_Size(parms, &x); ++i) {
        const FMX_Text* parm = FM_DataVect_AtAsText(parms, i, &x);
        std::string bytes(FM_Text_GetSize(parm, &x) * 3 + 1, '\0');
        FM_Text_GetBytes(parm, bytes.data(), static_cast<uint32_t>(bytes.size()), 0, 0xFFFFFFFF,
                         kFMX_EncodingUTF8, &x);
        joined += bytes.c_str();
    }
    FMX_Text* text = FM_Text_Constructor1(&x);
    FMX_Locale* locale = FM_Locale_Constructor1(kFMX_LocaleSystem, &x);
    FM_Text_Assign(text, joined.c_str(), kFMX_EncodingUTF8, &x);
    const FMX_ErrorCode error = FM_Data_SetAsText(result, text, locale, kFMX_DataTypeText, &x);
    FM_Locale_Delete(locale, &x);
    FM_Text_Delete(text, &x);
    return error;
}

FMX_ErrorCode Unset(int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data*) {
    return 42;
}

void Register(int16_t functionId, const char* name, int16_t minArgs, int16_t maxArgs,
              FMX_ExternalFunction handler) {
    FMX_Except x{};
    FMX_QuadChar* id = FM_QuadChar_Constructor2('F', 'a', 'k', 'e', &x);
    FMX_Text* text = FM_Text_Constructor1(&x);
    FM_Text_Assign(text, name, kFMX_EncodingUTF8, &x);
    if (handler != nullptr) {
        FM_ExprEnv_RegisterExternalFunction(id, functionId, text, text, minArgs, maxArgs,
                                            kFMX_AllCompatible, handler, &x);
    } else {
        FM_ExprEnv_UnRegisterExternalFunction(id, functionId, &x);
    }
    FM_Text_Delete(text, &x);
    FM_QuadChar_Delete(id, &x);
}

void Answer(const FMX_ExternCallStruct& block) {
    const std::u16string text = block.parm1 == kFMXT_NameStr      ? u"Fakë 𝄞 Plugin"
                                : block.parm1 == kFMXT_OptionsStr ? u"Fake1nnYYnn"
                                                                  : u"";
    auto* buffer = reinterpret_cast<uint16_t*>(block.result);
    const std::size_t length = std::min<std::size_t>(text.size(), block.parm2 - 1);
    std::copy(text.begin(), text.begin() + length, buffer);
    buffer[length] = 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void FMExternCallProc(FMX_ExternCallPtr block) {
    switch (block->whichCall) {
        case kFMXT_Init:
            block->result = block->extnVersion >= 57 && block->parm1 < kFMXT_Server ? 51 : -1;
            if (block->result == 51) {
                Register(kEchoId, "Fake_Echo", 1, 2, Echo);
                Register(kUnsetId, "Fake_Unset", 0, 0, Unset);
            }
            std::fprintf(stderr, "fake: init %d\n", static_cast<int>(block->result));
            break;
        case kFMXT_GetString:
            Answer(*block);
            break;
        case kFMXT_Shutdown:
            Register(kEchoId, "", 0, 0, nullptr);
            Register(kUnsetId, "", 0, 0, nullptr);
            std::fprintf(stderr, "fake: shutdown\n");
            break;
        default:
            break;
    }
}
