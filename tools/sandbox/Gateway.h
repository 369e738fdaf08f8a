// One emulated gateway per source file: each implements IGateway for the hosts it owns in
// GatewayHosts.h, and MakeGateways() lists them all for the router.
#ifndef PAYGROVE_SANDBOX_GATEWAY_H
#define PAYGROVE_SANDBOX_GATEWAY_H

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gateways/GatewayHosts.h"
#include "sandbox/Cards.h"
#include "sandbox/Http.h"

namespace pgv::sandbox {

class IGateway {
public:
    virtual ~IGateway() = default;

    virtual std::vector<EGatewayHost> Hosts() const = 0;
    // Called from many connection threads at once; request.host is one of Hosts().
    virtual SHttpResponse Handle(const SHttpRequest& request) = 0;
};

using TodayFunction = std::function<SYearMonth()>;

std::unique_ptr<IGateway> MakeAuthorizeNet(TodayFunction today = CurrentYearMonth);
std::unique_ptr<IGateway> MakeSecPay();
std::unique_ptr<IGateway> MakeNetworkMerchants();
std::unique_ptr<IGateway> MakeRxPayments();
std::unique_ptr<IGateway> MakeSagePayments();
std::unique_ptr<IGateway> MakePayflow();

std::vector<std::unique_ptr<IGateway>> MakeGateways();

// Six characters of 0-9 and A-Z for a serial number: successive serials do not look
// sequential, yet a serial always gets the same code.
std::string ScrambledCode(unsigned long long serial);

class CGatewayRouter {
public:
    explicit CGatewayRouter(std::vector<std::unique_ptr<IGateway>> gateways);

    // By the Host header; a host no gateway owns gets 421.
    SHttpResponse Route(const SHttpRequest& request) const;

private:
    IGateway* Owner(std::string_view host) const;

    std::vector<std::unique_ptr<IGateway>> gateways_;
};

inline constexpr std::string_view kSandboxServer = "paygrove-sandbox";

}  // namespace pgv::sandbox

#endif
