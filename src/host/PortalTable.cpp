#include <cstring>

#include "gateways/AuthorizeNet.h"
#include "gateways/NetworkMerchants.h"
#include "gateways/PayPal.h"
#include "gateways/RxPayments.h"
#include "gateways/SagePayments.h"
#include "gateways/SecPay.h"
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
    {"SECPAY", &Make<CAuthSecPay>},
    {"RXPAY", &Make<CRxPay>},
    {"PAYPAL", &Make<CPayPal>},
    {"NMI", &Make<CAuthNMI>},
    {"SAGE", &Make<CSage>},
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
