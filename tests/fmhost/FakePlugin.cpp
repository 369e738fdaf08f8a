// A plug-in reduced to what the fmhost tests need. It starts on hosts of interface version 57 or
// later, registers Fake_Echo (1 or 2 parameters; the result is the last one), Fake_Unset (no
// parameters; leaves the result unset, returns error 42) and Fake_Count (1 parameter or more; the
// result is how many), answers string requests, and notes start-up and shut-down on standard
// error so a test sees both were sent.
#include <cstdio>
#include <string>

#include "FMWrapper/FMWrapper.h"

namespace {

FMX_PROC(FMX_ErrorCode)
Echo(int16_t, const FMX_ExprEnv*, const FMX_DataVect* parms, FMX_Data* result) {
    FMX_Except x = {};
    const FMX_Text* last = FM_DataVect_AtAsText(parms, FM_DataVect_Size(parms, &x) - 1, &x);
    return FM_Data_SetAsText(result, last, FM_Data_GetLocale(result, &x), kFMX_DataTypeText, &x);
}

FMX_PROC(FMX_ErrorCode) Unset(int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data*) {
    return 42;
}

FMX_PROC(FMX_ErrorCode)
Count(int16_t, const FMX_ExprEnv*, const FMX_DataVect* parms, FMX_Data* result) {
    FMX_Except x = {};
    FMX_Text* count = FM_Text_Constructor1(&x);
    FM_Text_Assign(count, std::to_string(FM_DataVect_Size(parms, &x)).c_str(), kFMX_EncodingUTF8,
                   &x);
    const FMX_ErrorCode error =
        FM_Data_SetAsText(result, count, FM_Data_GetLocale(result, &x), kFMX_DataTypeText, &x);
    FM_Text_Delete(count, &x);
    return error;
}

void Register(int16_t functionId, const char* name, int16_t minArgs, int16_t maxArgs,
              FMX_ExternalFunction handler) {
    FMX_Except x = {};
    FMX_QuadChar* id = FM_QuadChar_Constructor2('F', 'a', 'k', 'e', &x);
    FMX_Text* text = FM_Text_Constructor1(&x);
    FM_Text_Assign(text, name, kFMX_EncodingUTF8, &x);
    FM_ExprEnv_RegisterExternalFunction(id, functionId, text, text, minArgs, maxArgs,
                                        kFMX_AllCompatible, handler, &x);
    FM_Text_Delete(text, &x);
    FM_QuadChar_Delete(id, &x);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void FMExternCallProc(FMX_ExternCallPtr block) {
    if (block->whichCall == kFMXT_Init) {
        const bool starts = block->extnVersion >= 57;
        block->result = static_cast<FMX_PtrType>(starts ? 51 : -1);
        if (starts) {
            Register(1, "Fake_Echo", 1, 2, Echo);
            Register(2, "Fake_Unset", 0, 0, Unset);
            Register(3, "Fake_Count", 1, -1, Count);  // -1: any number
        }
        std::fprintf(stderr, "fake: init %d\n", starts ? 51 : -1);
    } else if (block->whichCall == kFMXT_GetString) {
        const std::u16string text = block->parm1 == kFMXT_NameStr      ? u"Fakë 𝄞 Plugin"
                                    : block->parm1 == kFMXT_OptionsStr ? u"Fake1nnYYnn"
                                                                       : u"";
        auto* buffer = reinterpret_cast<char16_t*>(block->result);
        buffer[text.copy(buffer, block->parm3 - 1)] = 0;
    } else if (block->whichCall == kFMXT_Shutdown) {
        std::fprintf(stderr, "fake: shutdown\n");
    }
}
