// Calling the plug-in's functions the way the host does, through the stand-in SDK's host side.
#ifndef PAYGROVE_TESTS_UNIT_HOSTCALLS_H
#define PAYGROVE_TESTS_UNIT_HOSTCALLS_H

#include <FMWrapper/FMHost.h>

#include <optional>
#include <string>
#include <vector>

struct SCallOutcome {
    FMX_ErrorCode error;
    std::optional<std::string> result;  // empty when the function left the result unset
};

inline SCallOutcome CallFunction(FMX_ExternalFunction function,
                                 const std::vector<std::string>& args = {}) {
    FMX_DataVect* parms = FMHost_DataVect_New();
    for (const std::string& arg : args) {
        FMHost_DataVect_AppendText(parms, arg.c_str());
    }
    FMX_Data* result = FMHost_Data_New();
    SCallOutcome outcome{function(0, nullptr, parms, result), std::nullopt};
    if (FMHost_Data_IsSet(result)) {
        std::string text(FMHost_Data_GetText(result, nullptr, 0), '\0');
        FMHost_Data_GetText(result, text.data(), text.size() + 1);
        outcome.result = text;
    }
    FMHost_Data_Delete(result);
    FMHost_DataVect_Delete(parms);
    return outcome;
}

#endif
