// SecPay: the ValCard servlet, with the decisions of the gateway's test mode, and a live
// approval for options=test_status=live. Its answer is a query string written without escaping,
// which is how the real gateway sends it.
#include <string>
#include <string_view>

#include "sandbox/Gateway.h"
#include "sandbox/Query.h"

namespace pgv::sandbox {

namespace {

constexpr std::string_view kPath = "/java-bin/ValCard";
constexpr std::string_view kServer = "Apache";

// The option list is "name=value,name=value"; the gateway tolerates blanks around the items.
bool HasOption(std::string_view options, std::string_view wanted) {
    while (!options.empty()) {
        const std::size_t comma = options.find(',');
        std::string_view item = options.substr(0, comma);
        while (!item.empty() && item.front() == ' ') {
            item.remove_prefix(1);
        }
        while (!item.empty() && item.back() == ' ') {
            item.remove_suffix(1);
        }
        if (item == wanted) {
            return true;
        }
        options = comma == std::string_view::npos ? std::string_view{} : options.substr(comma + 1);
    }
    return false;
}

std::string Answer(const CParams& params) {
    const std::string refused = "?valid=false&trans_id=" + params.Value("trans_id") + "&code=";
    if (params.Value("merchant").empty() || params.Value("remotepassword").empty()) {
        return refused + "P:M&message=Invalid merchant or password";
    }
    for (const char* name : {"trans_id", "amount", "card_no", "expiry", "name"}) {
        if (params.Value(name).empty()) {
            return refused + "P:X&message=Missing parameter " + name;
        }
    }
    const std::string amount = params.Value("amount");
    if (!AmountInCents(amount)) {
        return refused + "P:A&message=Invalid amount";
    }
    const std::string number = params.Value("card_no");
    if (number.size() < 12 || number.size() > 19 || !PassesLuhn(number)) {
        return refused + "P:C&message=Luhn Check Failed&correct=false";
    }
    const std::string expiry = params.Value("expiry");
    const std::optional<SYearMonth> month = expiry.size() == 4 ? ParseExpiry(expiry) : std::nullopt;
    if (!month || *month < CurrentYearMonth()) {
        return refused + "P:E&message=Expiry date invalid&correct=false";
    }
    if (HasOption(params.Value("options"), "test_status=false")) {
        return refused + "N&message=TEST DECLINE&test_status=false";
    }
    std::string approved = "?valid=true&trans_id=" + params.Value("trans_id") + "&code=A";
    if (HasOption(params.Value("options"), "test_status=live")) {
        approved += "&auth_code=AB1234&amount=" + amount;
    } else {
        approved += "&auth_code=9999&message=TEST AUTH&amount=" + amount + "&test_status=true";
    }
    if (!params.Value("cv2").empty()) {
        approved += "&cv2avs=ALL MATCH";
    }
    return approved;
}

class CSecPay final : public IGateway {
public:
    std::vector<EGatewayHost> Hosts() const override { return {EGatewayHost::SecPay}; }

    SHttpResponse Handle(const SHttpRequest& request) override {
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
        SHttpResponse response;
        response.headers = {{"Server", std::string(kServer)}, {"Content-Type", "text/plain"}};
        response.body = Answer(CParams(std::move(decoded.params)));
        return response;
    }
};

}  // namespace

std::unique_ptr<IGateway> MakeSecPay() {
    return std::make_unique<CSecPay>();
}

}  // namespace pgv::sandbox
