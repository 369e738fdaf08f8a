#include <cstring>

#include "gateways/AuthorizeNet.h"
#include "host/CalcFunctions.h"

namespace {

template <typename T>
std::unique_ptr<CAuthBase> Make() {
    return std::make_unique<T>();
}

struct SPortal {
    const char* name;
    std::unique_ptr<CAuthBase> (*create)();
};

// Compared in this order, byte for byte.
const SPortal kPortals[] = {
    {"AUTHNET", &Make<CAuthAuthorizeNet>},
};

}  // namespace

std::unique_ptr<CAuthBase> CreateGateway(const char* portalName) {
    for (const SPortal& portal : kPortals) {
        if (std::strcmp(portalName, portal.name) == 0) {
            return portal.create();
        }
    }
    return Make<CAuthAuthorizeNet>();
}
