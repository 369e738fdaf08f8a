#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "PluginLibrary.h"

namespace fmhost {
namespace {

#if defined(_WIN64)
constexpr const char* kPluginFileName = "Brenmar.fmx64";
#else
constexpr const char* kPluginFileName = "Brenmar.fmx";
#endif

std::string LastErrorText() {
    const DWORD code = GetLastError();
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, sizeof text, nullptr);
    // The system's messages end in a line break of their own.
    while (length > 0 && std::isspace(static_cast<unsigned char>(text[length - 1]))) {
        --length;
    }
    return std::string(text, length) + " (error " + std::to_string(code) + ")";
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) {
    // LoadLibrary documents backslashes only.
    std::string native = path;
    std::replace(native.begin(), native.end(), '/', '\\');
    handle_.reset(LoadLibraryA(native.c_str()));
    if (!handle_) {
        throw std::runtime_error("cannot load plug-in " + path + ": " + LastErrorText());
    }
}

PluginLibrary::Function PluginLibrary::Find(const char* name) const {
    return reinterpret_cast<Function>(GetProcAddress(static_cast<HMODULE>(handle_.get()), name));
}

void PluginLibrary::Closer::operator()(void* handle) const {
    FreeLibrary(static_cast<HMODULE>(handle));
}

std::string DefaultPluginPath() {
    // The longest path Windows can name.
    std::vector<char> exe(32768);
    const DWORD length = GetModuleFileNameA(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    if (length == 0 || length >= exe.size()) {
        throw std::runtime_error("cannot find fmhost's own folder: " +
                                 (length == 0 ? LastErrorText() : std::string("path too long")));
    }
    const std::string path(exe.data(), length);
    return path.substr(0, path.find_last_of("\\/") + 1) + kPluginFileName;
}

// Text mode would write "\r\n" for each line, and end a script read from standard input at the
// first Ctrl-Z byte.
void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace fmhost
