// Linux and the Mac: the shared library the plug-in was loaded from, the machine's address.
#ifndef _WIN32

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "platform/OsServices.h"

namespace {

struct SAddrInfoDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

}  // namespace

std::string SharedLibraryFolder() {
    Dl_info info = {};
    if (dladdr(reinterpret_cast<void*>(&SharedLibraryFolder), &info) == 0 ||
        info.dli_fname == nullptr) {
        return std::string();
    }
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string PosixIPv4Address() {
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

#endif
