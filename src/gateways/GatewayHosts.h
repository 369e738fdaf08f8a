// The gateways' host names: the one place they are written. The gateway classes build their
// endpoint URLs from it, and the local sandbox, its certificate and the isolated runner's hosts
// file are derived from it, so a test can only ever reach a host named here.
#ifndef PAYGROVE_GATEWAYS_GATEWAYHOSTS_H
#define PAYGROVE_GATEWAYS_GATEWAYHOSTS_H

enum class EGatewayHost {
    AuthorizeNetLive,
    AuthorizeNetTest,
    AuthorizeNetCardPresent,
    SecPay,
    NetworkMerchants,
    SagePayments,
    RxPayments,
    PayflowLive,
    PayflowTest,
};

struct SGatewayHost {
    EGatewayHost id;
    const char* host;
};

inline constexpr SGatewayHost kGatewayHosts[] = {
    {EGatewayHost::AuthorizeNetLive, "secure.authorize.net"},
    {EGatewayHost::AuthorizeNetTest, "test.authorize.net"},
    {EGatewayHost::AuthorizeNetCardPresent, "cardpresent.authorize.net"},
    {EGatewayHost::SecPay, "www.secpay.com"},
    {EGatewayHost::NetworkMerchants, "secure.networkmerchants.com"},
    {EGatewayHost::SagePayments, "www.sagepayments.net"},
    {EGatewayHost::RxPayments, "secure.rxpayments.com"},
    {EGatewayHost::PayflowLive, "payflowpro.paypal.com"},
    {EGatewayHost::PayflowTest, "pilot-payflowpro.paypal.com"},
};

constexpr const char* GatewayHost(EGatewayHost id) {
    for (const SGatewayHost& row : kGatewayHosts) {
        if (row.id == id) {
            return row.host;
        }
    }
    return "";
}

#endif
