// Windows: the plug-in's module file, the machine's address through Winsock, Winsock itself.
#ifdef _WIN32

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <memory>

#include "platform/OsServices.h"

namespace {

constexpr DWORD kPathArea = 260;

struct SAddrInfoDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

}  // namespace

std::string ModuleFolder(const void* module) {
    // Without the module the host handed over, GetModuleFileName would name the host's program.
    if (module == nullptr) {
        return std::string();
    }
    char path[kPathArea] = {};
    const DWORD length =
        GetModuleFileNameA(static_cast<HMODULE>(const_cast<void*>(module)), path, kPathArea);
    // A full area means the path was cut short.
    if (length == 0 || length >= kPathArea) {
        return std::string();
    }
    const std::string file(path, length);
    const size_t backslash = file.rfind('\\');
    return backslash == std::string::npos ? std::string() : file.substr(0, backslash + 1);
}

std::string WindowsIPv4Address() {
    char hostName[256] = {};
    if (gethostname(hostName, sizeof(hostName) - 1) != 0) {
        return std::string();
    }
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(hostName, nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::string();
    }
    const std::unique_ptr<addrinfo, SAddrInfoDeleter> list(found);
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof(text)) == nullptr) {
        return std::string();
    }
    return text;
}

bool StartWinsock() {
    WSADATA data = {};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void StopWinsock() {
    WSACleanup();
}

#endif
