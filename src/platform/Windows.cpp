// Windows: the WinINet exchange on the Windows line, the plug-in's module file, the machine's
// address from its network adapters, Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>
// After the socket headers, which it needs.
#include <iphlpapi.h>

#include <vector>

#include "platform/OsServices.h"
#include "platform/Platform.h"
#include "transport/HttpBackend.h"
#include "transport/LineExchange.h"

namespace {

constexpr DWORD kPathArea = 260;
// Enough for a machine's adapters as a rule; more is asked for when it is not.
constexpr ULONG kAdapterArea = 16 * 1024;
constexpr int kAdapterTries = 3;

}  // namespace

std::shared_ptr<IExchange> CreatePlatformExchange() {
    return std::make_shared<CLineExchange>(EHttpLine::Windows, CreateWinInetBackend);
}

const char* OperatingSystemName() {
    return "Windows";
}

std::string PluginFolder(const void* module) {
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

std::string LocalIPv4Address() {
    constexpr ULONG kFlags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = kAdapterArea;
    std::vector<unsigned char> area;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The list can grow between the call that sizes it and the one that fills it.
    for (int attempt = 0; attempt < kAdapterTries && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        area.resize(size);
        result = GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(area.data()), &size);
    }
    if (result != NO_ERROR) {
        return std::string();
    }
    for (const auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(area.data());
         adapter != nullptr; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
            continue;
        }
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress;
             unicast != nullptr; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            char text[INET_ADDRSTRLEN] = {};
            if (address != nullptr && address->sa_family == AF_INET &&
                inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                          sizeof(text)) != nullptr) {
                return text;
            }
        }
    }
    return std::string();
}

bool StartSocketLibrary() {
    WSADATA data = {};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void StopSocketLibrary() {
    WSACleanup();
}

// WinINet keeps nothing of ours for the process.
void ReleaseExchangeState() {}
