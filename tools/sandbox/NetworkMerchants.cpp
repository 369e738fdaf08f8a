// Network Merchants (NMI): the Direct Post API with the decisions of the gateway's test account.
// The answer is a query string whose values, like the real gateway's, are not escaped.
#include <atomic>
#include <string>
#include <string_view>

#include "sandbox/Gateway.h"
#include "sandbox/Query.h"

namespace pgv::sandbox {

namespace {

constexpr std::string_view kPath = "/api/transact.php";
constexpr std::string_view kServer = "Apache";
constexpr std::string_view kCardCodeMismatch = "999";
// NMI's test accounts decline any amount below this.
constexpr long long kDeclineBelowCents = 100;
// Fields the answer repeats after its own, as a gateway that echoes its caller's fields does:
// what a solution puts there comes back in the answer, secrets included.
constexpr std::string_view kEchoedPrefix = "merchant_defined_field_";

struct SResult {
    int response = 1;
    std::string text;
    std::string authCode;
    std::string transactionId;
    std::string avs;
    std::string cvv;
    int code = 100;
};

bool IsChargeType(std::string_view type) {
    return type == "sale" || type == "auth" || type == "credit";
}

bool ReferencesTransaction(std::string_view type) {
    return type == "capture" || type == "void" || type == "refund";
}

class CNetworkMerchants final : public IGateway {
public:
    std::vector<EGatewayHost> Hosts() const override { return {EGatewayHost::NetworkMerchants}; }

    SHttpResponse Handle(const SHttpRequest& request) override;

private:
    SResult Decide(const CParams& params, std::string_view type);
    // Every refusal carries a reference of its own, as the real gateway's do.
    SResult Refuse(std::string_view text) {
        return {
            3,  std::string(text) + " REFID:" + std::to_string(nextReference_++), "", "", "", "",
            300};
    }

    std::atomic<unsigned long long> nextReference_{100000001};
    std::atomic<unsigned long long> nextTransactionId_{2500000001};
};

SResult CNetworkMerchants::Decide(const CParams& params, std::string_view type) {
    if (params.Value("username").empty() || params.Value("password").empty()) {
        return {3, "Invalid Username", "", "0", "", "", 300};
    }
    if (!IsChargeType(type) && !ReferencesTransaction(type) && type != "validate") {
        return Refuse("Invalid Transaction Type");
    }
    if (!ReferencesTransaction(type)) {
        const std::string number = params.Value("ccnumber");
        if (number.size() < 12 || number.size() > 19 || !PassesLuhn(number)) {
            return Refuse("Invalid Credit Card Number");
        }
        const std::string expiry = params.Value("ccexp");
        const std::optional<SYearMonth> month =
            expiry.size() == 4 ? ParseExpiry(expiry) : std::nullopt;
        if (!month || *month < CurrentYearMonth()) {
            return Refuse("Invalid Credit Card Expiration");
        }
    }
    const std::optional<long long> cents = AmountInCents(params.Value("amount"));
    if (IsChargeType(type) && !cents) {
        return Refuse("Invalid amount");
    }
    if (ReferencesTransaction(type) && params.Value("transactionid").empty()) {
        return Refuse("Invalid Transaction ID specified");
    }
    const std::string id = std::to_string(nextTransactionId_++);
    if (IsChargeType(type) && *cents < kDeclineBelowCents) {
        return {2, "DECLINE", "", id, "N", "N", 200};
    }
    const std::string cvv = params.Value("cvv");
    const std::string cvvResponse = cvv.empty() ? "" : cvv == kCardCodeMismatch ? "N" : "M";
    return {1, "SUCCESS", "123456", id, "N", cvvResponse, 100};
}

SHttpResponse CNetworkMerchants::Handle(const SHttpRequest& request) {
    if (request.path != kPath) {
        return PlainTextResponse(404, "no resource at " + request.path, kServer);
    }
    if (auto refused = RefuseMethod(request, "GET, POST", kServer)) {
        return *refused;
    }
    SDecodedQuery decoded = DecodeRequestParams(request);
    if (!decoded.ok) {
        return PlainTextResponse(400, decoded.error, kServer);
    }
    const CParams params(std::move(decoded.params));
    const std::string type = params.Value("type").empty() ? "sale" : params.Value("type");
    const SResult r = Decide(params, type);

    SHttpResponse response;
    response.headers = {{"Server", std::string(kServer)}, {"Content-Type", "text/html"}};
    response.body = "response=" + std::to_string(r.response) + "&responsetext=" + r.text +
                    "&authcode=" + r.authCode + "&transactionid=" + r.transactionId +
                    "&avsresponse=" + r.avs + "&cvvresponse=" + r.cvv +
                    "&orderid=" + params.Value("orderid") + "&type=" + type +
                    "&response_code=" + std::to_string(r.code);
    for (const auto& [name, value] : params.All()) {
        if (name.size() > kEchoedPrefix.size() &&
            EqualsIgnoreCase(std::string_view(name).substr(0, kEchoedPrefix.size()),
                             kEchoedPrefix)) {
            response.body += "&" + name + "=" + value;
        }
    }
    return response;
}

}  // namespace

std::unique_ptr<IGateway> MakeNetworkMerchants() {
    return std::make_unique<CNetworkMerchants>();
}

}  // namespace pgv::sandbox
