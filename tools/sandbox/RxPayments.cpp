// RxPayments: one endpoint per kind of transaction, each of which also insists on being told the
// kind, and the caller's IPv4 address on every request. Answers are a small XML document.
#include <atomic>
#include <string>
#include <string_view>

#include "sandbox/Gateway.h"
#include "sandbox/Query.h"

namespace pgv::sandbox {

namespace {

constexpr std::string_view kServer = "Apache";
// The test processor declines any charge below this.
constexpr long long kDeclineBelowCents = 100;

struct SEndpoint {
    std::string_view path;
    std::string_view transType;
    bool charges;           // takes a card, and may be declined
    bool takesAmount;       // an amount is required
    bool takesTransaction;  // works on an earlier transaction
};

constexpr SEndpoint kEndpoints[] = {
    {"/secure/rxprocess", "AUTH_CAPTURE", true, true, false},
    {"/secure/rxauthorize", "AUTH_PREAUTH", true, true, false},
    {"/secure/rxsettle", "AUTH_SETTLE", false, false, true},
    {"/secure/rxrefund", "AUTH_REFUND", false, true, true},
};

const SEndpoint* FindEndpoint(std::string_view path) {
    for (const SEndpoint& endpoint : kEndpoints) {
        if (endpoint.path == path) {
            return &endpoint;
        }
    }
    return nullptr;
}

bool IsIpv4Address(std::string_view text) {
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = text.find('.');
        if ((part < 3) == (dot == std::string_view::npos)) {
            return false;
        }
        const std::string_view number = text.substr(0, dot);
        if (!IsDigits(number) || number.size() > 3 || std::stoi(std::string(number)) > 255) {
            return false;
        }
        text = part < 3 ? text.substr(dot + 1) : std::string_view{};
    }
    return true;
}

struct SFailure {
    std::string_view code;
    std::string_view message;
};

std::string Document(std::string_view elements) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<response>\n" + std::string(elements) +
           "</response>\n";
}

class CRxPayments final : public IGateway {
public:
    std::vector<EGatewayHost> Hosts() const override { return {EGatewayHost::RxPayments}; }

    SHttpResponse Handle(const SHttpRequest& request) override;

private:
    std::string Answer(const CParams& params, const SEndpoint& endpoint);

    std::atomic<unsigned long long> nextTransaction_{10000001};
};

std::optional<SFailure> Refusal(const CParams& params, const SEndpoint& endpoint) {
    if (params.Value("TRANS_TYPE") != endpoint.transType) {
        return SFailure{"E01", "TRANS_TYPE does not match the endpoint"};
    }
    if (params.Value("rx_merchant").empty() || params.Value("rx_password").empty()) {
        return SFailure{"E02", "Invalid merchant or password"};
    }
    if (!IsIpv4Address(params.Value("rx_ipaddress"))) {
        return SFailure{"E03", "rx_ipaddress is required"};
    }
    const std::optional<long long> cents = AmountInCents(params.Value("rx_amount"));
    if (endpoint.takesAmount && !cents) {
        return SFailure{"E04", "Invalid amount"};
    }
    if (endpoint.charges) {
        const std::string number = params.Value("rx_cardnumber");
        if (number.size() < 12 || number.size() > 19 || !PassesLuhn(number)) {
            return SFailure{"E05", "Invalid card number"};
        }
        const std::string expiry = params.Value("rx_expdate");
        const std::optional<SYearMonth> month =
            expiry.size() == 4 ? ParseExpiry(expiry) : std::nullopt;
        if (!month || *month < CurrentYearMonth()) {
            return SFailure{"E06", "Card expired"};
        }
    }
    if (endpoint.takesTransaction && params.Value("rx_transaction").empty()) {
        return SFailure{"E07", "Transaction not found"};
    }
    if (endpoint.charges && *cents < kDeclineBelowCents) {
        return SFailure{"E12", "Card declined"};
    }
    return std::nullopt;
}

std::string CRxPayments::Answer(const CParams& params, const SEndpoint& endpoint) {
    if (const std::optional<SFailure> failure = Refusal(params, endpoint)) {
        return Document("  <code>" + std::string(failure->code) + "</code>\n  <errormessage>" +
                        std::string(failure->message) + "</errormessage>\n");
    }
    const unsigned long long transaction = nextTransaction_++;
    return Document("  <success>true</success>\n  <transaction>RX" + std::to_string(transaction) +
                    "</transaction>\n  <confirmation>" + ScrambledCode(transaction) +
                    "</confirmation>\n");
}

SHttpResponse CRxPayments::Handle(const SHttpRequest& request) {
    const SEndpoint* endpoint = FindEndpoint(request.path);
    if (endpoint == nullptr) {
        return PlainTextResponse(404, "no resource at " + request.path, kServer);
    }
    if (auto refused = RefuseMethod(request, "GET", kServer)) {
        return *refused;
    }
    SDecodedQuery decoded = DecodeQuery(request.query, EPlus::Forbidden);
    if (!decoded.ok) {
        return PlainTextResponse(400, "query: " + decoded.error, kServer);
    }
    SHttpResponse response;
    response.headers = {{"Server", std::string(kServer)}, {"Content-Type", "text/xml"}};
    response.body = Answer(CParams(std::move(decoded.params)), *endpoint);
    return response;
}

}  // namespace

std::unique_ptr<IGateway> MakeRxPayments() {
    return std::make_unique<CRxPayments>();
}

}  // namespace pgv::sandbox
