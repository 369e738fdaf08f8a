// Linux and the Mac: the machine's address from its network interfaces, and no socket library to
// start.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

#include "platform/OsServices.h"
#include "platform/Platform.h"

namespace {

struct SInterfacesDeleter {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

}  // namespace

std::string LocalIPv4Address() {
    ifaddrs* found = nullptr;
    if (getifaddrs(&found) != 0) {
        return std::string();
    }
    const std::unique_ptr<ifaddrs, SInterfacesDeleter> list(found);
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        const bool usable = entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET &&
                            (entry->ifa_flags & IFF_UP) != 0 &&
                            (entry->ifa_flags & IFF_LOOPBACK) == 0;
        char text[INET_ADDRSTRLEN] = {};
        if (usable &&
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr,
                      text, sizeof(text)) != nullptr) {
            return text;
        }
    }
    return std::string();
}

bool StartSocketLibrary() {
    return true;
}

void StopSocketLibrary() {}
