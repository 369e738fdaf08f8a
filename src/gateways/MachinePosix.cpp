#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "gateways/Machine.h"

namespace {

struct SAddrInfoDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

}  // namespace

std::string LocalIPv4Address() {
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

bool StartSocketLibrary() {
    return true;
}

void StopSocketLibrary() {}
