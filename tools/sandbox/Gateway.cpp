#include "sandbox/Gateway.h"

namespace pgv::sandbox {

std::string ScrambledCode(unsigned long long serial) {
    static constexpr std::string_view kSymbols = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    // Multiplicative hashing modulo 36^6.
    unsigned long long value = (serial * 2654435761ULL) % 2176782336ULL;
    std::string code(6, '0');
    for (auto it = code.rbegin(); it != code.rend(); ++it) {
        *it = kSymbols[value % kSymbols.size()];
        value /= kSymbols.size();
    }
    return code;
}

std::vector<std::unique_ptr<IGateway>> MakeGateways() {
    std::vector<std::unique_ptr<IGateway>> gateways;
    gateways.push_back(MakeAuthorizeNet());
    gateways.push_back(MakeSecPay());
    gateways.push_back(MakeNetworkMerchants());
    gateways.push_back(MakeRxPayments());
    gateways.push_back(MakeSagePayments());
    gateways.push_back(MakePayflow());
    return gateways;
}

CGatewayRouter::CGatewayRouter(std::vector<std::unique_ptr<IGateway>> gateways)
    : gateways_(std::move(gateways)) {}

IGateway* CGatewayRouter::Owner(std::string_view host) const {
    for (const auto& gateway : gateways_) {
        for (EGatewayHost id : gateway->Hosts()) {
            if (EqualsIgnoreCase(GatewayHost(id), host)) {
                return gateway.get();
            }
        }
    }
    return nullptr;
}

SHttpResponse CGatewayRouter::Route(const SHttpRequest& request) const {
    IGateway* gateway = Owner(request.host);
    if (gateway == nullptr) {
        return PlainTextResponse(421, "no gateway is served for the host \"" + request.host + "\"",
                                 kSandboxServer);
    }
    return gateway->Handle(request);
}

}  // namespace pgv::sandbox
