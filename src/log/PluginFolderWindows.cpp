#include <windows.h>

#include <FMWrapper/FMWrapper.h>

#include "log/PluginFolder.h"

namespace {

constexpr DWORD kPathArea = 260;

}  // namespace

std::string PluginFolder() {
    // The host hands the plug-in its own module; without one, GetModuleFileName would name the
    // host's program instead.
    if (gFMX_ExternCallPtr == nullptr || gFMX_ExternCallPtr->instanceID == nullptr) {
        return std::string();
    }
    char path[kPathArea] = {};
    const DWORD length =
        GetModuleFileNameA(static_cast<HMODULE>(gFMX_ExternCallPtr->instanceID), path, kPathArea);
    // A full area means the path was cut short.
    if (length == 0 || length >= kPathArea) {
        return std::string();
    }
    const std::string file(path, length);
    const size_t backslash = file.rfind('\\');
    return backslash == std::string::npos ? std::string() : file.substr(0, backslash + 1);
}
