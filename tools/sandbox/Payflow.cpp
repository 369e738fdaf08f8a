// PayPal Payflow Pro: the name-value protocol posted to "/", with the gateway's request headers,
// length-tagged values and duplicate detection by request id and by ORDERID, on the live and the
// pilot host.
#include <algorithm>
#include <map>
#include <mutex>
#include <random>
#include <set>

#include "sandbox/Gateway.h"
#include "sandbox/Query.h"

namespace pgv::sandbox {

namespace {

constexpr std::string_view kRequestIdHeader = "X-VPS-REQUEST-ID";
constexpr std::size_t kMaxRequestId = 32;
constexpr std::size_t kPnrefRandomLength = 11;
constexpr long long kDeclineFromCents = 100100;

std::string FormatError(std::string_view field) {
    return "RESULT=7&RESPMSG=Field format error: " + std::string(field);
}

// The name of the first header that is missing or malformed.
std::optional<std::string_view> BadHeader(const SHttpRequest& request) {
    const std::optional<std::string> id = request.Header(kRequestIdHeader);
    if (!id || id->empty() || id->size() > kMaxRequestId) {
        return kRequestIdHeader;
    }
    static constexpr std::string_view kTimeout = "X-VPS-CLIENTTIMEOUT";
    if (!IsDigits(request.Header(kTimeout).value_or(""))) {
        return kTimeout;
    }
    for (std::string_view name :
         {"X-VPS-VITINTEGRATION-PRODUCT", "X-VPS-VITINTEGRATION-VERSION", "X-VPS-VIT-OS-NAME"}) {
        if (request.Header(name).value_or("").empty()) {
            return name;
        }
    }
    return std::nullopt;
}

struct SNameValues {
    std::optional<std::string> badField;
    ParamList params;
};

// NAME[n]=value takes exactly n bytes, which may hold "&" and "="; an untagged value runs to the
// next "&". Nothing is percent-decoded.
SNameValues ParseNameValues(std::string_view body) {
    SNameValues result;
    std::size_t position = 0;
    while (position < body.size()) {
        const std::size_t ampersand = std::min(body.find('&', position), body.size());
        if (ampersand == position) {
            ++position;
            continue;
        }
        const std::size_t equals = body.find('=', position);
        if (equals == std::string_view::npos || equals > ampersand) {
            result.badField = std::string(body.substr(position, ampersand - position));
            return result;
        }
        std::string_view name = body.substr(position, equals - position);
        std::size_t end = ampersand;
        const std::size_t open = name.find('[');
        if (open != std::string_view::npos && name.back() == ']') {
            const std::string_view digits = name.substr(open + 1, name.size() - open - 2);
            name = name.substr(0, open);
            const std::size_t available = body.size() - equals - 1;
            if (!IsDigits(digits) || digits.size() > 9 ||
                std::stoul(std::string(digits)) > available) {
                result.badField = std::string(name);
                return result;
            }
            end = equals + 1 + std::stoul(std::string(digits));
            if (end < body.size() && body[end] != '&') {
                result.badField = std::string(name);
                return result;
            }
        }
        result.params.emplace_back(name, body.substr(equals + 1, end - equals - 1));
        position = end + 1;
    }
    return result;
}

std::string Pair(std::string_view name, std::string_view value) {
    if (value.find_first_of("&=") != std::string_view::npos) {
        return std::string(name) + "[" + std::to_string(value.size()) + "]=" + std::string(value);
    }
    return std::string(name) + "=" + std::string(value);
}

bool HasValidExpiry(std::string_view text) {
    if (text.size() != 4 || !IsDigits(text)) {
        return false;
    }
    const std::optional<SYearMonth> expiry = ParseExpiry(text);
    return expiry && !(*expiry < CurrentYearMonth());
}

struct SHostState {
    std::map<std::string, std::string> answers;  // by X-VPS-REQUEST-ID
    std::map<std::string, std::string> orders;   // the first answer for each ORDERID
    std::set<std::string> pnrefs;
};

class CPayflow final : public IGateway {
public:
    std::vector<EGatewayHost> Hosts() const override {
        return {EGatewayHost::PayflowLive, EGatewayHost::PayflowTest};
    }

    SHttpResponse Handle(const SHttpRequest& request) override;

private:
    std::string Decide(const CParams& params, SHostState& state, char pnrefPrefix);
    std::string FreshPnref(const SHostState& state, char prefix);

    std::mutex mutex_;
    std::map<std::string, SHostState> hosts_;
    std::mt19937_64 random_{std::random_device{}()};
};

std::string CPayflow::FreshPnref(const SHostState& state, char prefix) {
    static constexpr std::string_view kSymbols = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::uniform_int_distribution<std::size_t> pick(0, kSymbols.size() - 1);
    std::string pnref;
    do {
        pnref.assign(1, prefix);
        for (std::size_t i = 0; i < kPnrefRandomLength; ++i) {
            pnref += kSymbols[pick(random_)];
        }
    } while (state.pnrefs.count(pnref) != 0);
    return pnref;
}

std::string CPayflow::Decide(const CParams& params, SHostState& state, char pnrefPrefix) {
    for (std::string_view name : {"USER", "VENDOR", "PARTNER", "PWD"}) {
        if (params.Value(name).empty()) {
            return "RESULT=1&RESPMSG=User authentication failed";
        }
    }
    const std::string type = params.Value("TRXTYPE");
    if (type.size() != 1 || std::string_view("SADCV").find(type) == std::string_view::npos) {
        return FormatError("TRXTYPE");
    }
    const bool charge = type == "S" || type == "A" || type == "C";
    if (charge && params.Value("TENDER") != "C") {
        return "RESULT=2&RESPMSG=Invalid tender";
    }
    const std::string origId = params.Value("ORIGID");
    const std::string account = params.Value("ACCT");
    const bool cardRequired = charge && origId.empty();
    if ((cardRequired || !account.empty()) &&
        (account.size() < 12 || account.size() > 19 || !PassesLuhn(account))) {
        return "RESULT=23&RESPMSG=Invalid account number";
    }
    const std::string expiry = params.Value("EXPDATE");
    if ((cardRequired || !expiry.empty()) && !HasValidExpiry(expiry)) {
        return "RESULT=24&RESPMSG=Invalid expiration date";
    }
    const std::string amount = params.Value("AMT");
    const std::optional<long long> cents = AmountInCents(amount);
    if (!cents && (charge || !amount.empty())) {
        return "RESULT=4&RESPMSG=Invalid amount";
    }
    if ((!charge || !origId.empty()) && state.pnrefs.count(origId) == 0) {
        return "RESULT=19&RESPMSG=Original transaction ID not found";
    }

    const std::string pnref = FreshPnref(state, pnrefPrefix);
    state.pnrefs.insert(pnref);
    std::string answer;
    if (cents.value_or(0) >= kDeclineFromCents) {
        answer = "RESULT=12&PNREF=" + pnref + "&RESPMSG=Declined&AVSADDR=Y&AVSZIP=Y";
    } else {
        std::uniform_int_distribution<int> digit(0, 9);
        std::string authCode;
        for (int i = 0; i < 3; ++i) {
            authCode += static_cast<char>('0' + digit(random_));
        }
        answer = "RESULT=0&PNREF=" + pnref + "&RESPMSG=Approved&AUTHCODE=" + authCode +
                 "PNI&AVSADDR=Y&AVSZIP=Y";
        if (!params.Value("CVV2").empty()) {
            answer += "&CVV2MATCH=Y";
        }
        answer += "&IAVS=N";
    }
    if (!EqualsIgnoreCase(params.Value("VERBOSITY"), "HIGH")) {
        return answer;
    }
    if (!amount.empty()) {
        answer += "&" + Pair("AMT", amount);
    }
    if (!account.empty()) {
        answer += "&" + Pair("ACCT", account.substr(account.size() - 4));
    }
    for (std::string_view name : {"EXPDATE", "BILLTOFIRSTNAME", "BILLTOLASTNAME"}) {
        const std::string value = params.Value(name);
        if (!value.empty()) {
            answer += "&" + Pair(name, value);
        }
    }
    return answer;
}

SHttpResponse CPayflow::Handle(const SHttpRequest& request) {
    if (request.path != "/") {
        return PlainTextResponse(404, "no resource at " + request.path, kSandboxServer);
    }
    if (auto refused = RefuseMethod(request, "POST", kSandboxServer)) {
        return *refused;
    }
    SHttpResponse response;
    response.headers = {{"Server", std::string(kSandboxServer)},
                        {"Content-Type", "text/namevalue"}};
    if (const std::optional<std::string_view> header = BadHeader(request)) {
        response.body = FormatError(*header);
        return response;
    }
    const std::string requestId = *request.Header(kRequestIdHeader);

    const std::lock_guard<std::mutex> lock(mutex_);
    SHostState& state = hosts_[request.host];
    if (const auto earlier = state.answers.find(requestId); earlier != state.answers.end()) {
        response.body = earlier->second + "&DUPLICATE=1";
        return response;
    }
    SNameValues parsed = ParseNameValues(request.body);
    if (parsed.badField) {
        response.body = FormatError(*parsed.badField);
    } else {
        const char prefix = request.host == GatewayHost(EGatewayHost::PayflowTest) ? 'A' : 'V';
        const CParams params(std::move(parsed.params));
        const std::string orderId = params.Value("ORDERID");
        // An order id sent before, under another request id, is answered with its first answer.
        if (const auto earlier = state.orders.find(orderId);
            !orderId.empty() && earlier != state.orders.end()) {
            response.body = earlier->second + "&DUPLICATE=2";
        } else {
            response.body = Decide(params, state, prefix);
            if (!orderId.empty()) {
                state.orders.emplace(orderId, response.body);
            }
        }
    }
    state.answers.emplace(requestId, response.body);
    return response;
}

}  // namespace

std::unique_ptr<IGateway> MakePayflow() {
    return std::make_unique<CPayflow>();
}

}  // namespace pgv::sandbox
