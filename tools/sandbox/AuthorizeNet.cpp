// Authorize.Net: the AIM 3.1 card-not-present API and the card-present 1.0 API on one path, with
// the decisions of the gateway's documented test mode; a request with x_test_request=TRUE is
// answered as an account in test mode answers, with transaction id 0 and nothing charged.
#include <openssl/evp.h>

#include <atomic>
#include <cstdio>

#include "sandbox/Gateway.h"
#include "sandbox/Query.h"

namespace pgv::sandbox {

namespace {

constexpr std::string_view kPath = "/gateway/transact.dll";
constexpr std::string_view kServer = "Microsoft-IIS/10.0";
constexpr std::string_view kDeclineCard = "4222222222222";
constexpr std::string_view kDeclineZip = "46282";
constexpr std::string_view kCardCodeMismatch = "901";
constexpr std::string_view kDeclined = "This transaction has been declined.";
constexpr std::size_t kAimFieldCount = 68;
constexpr std::size_t kCardPresentReservedEnd = 20;

enum class EApi { Aim, CardPresent };

struct SOutcome {
    int code = 1;
    int reason = 1;
    std::string text = "This transaction has been approved.";
    std::string avs = "Y";
};

SOutcome Error(int reason, std::string text) {
    return {3, reason, std::move(text), "P"};
}

SOutcome Decline(int reason, std::string_view text, std::string avs) {
    return {2, reason, std::string(text), std::move(avs)};
}

// The decline card's reason is the amount's whole dollars, as in the gateway's test mode.
SOutcome DeclineByAmount(long long dollars) {
    switch (dollars) {
        case 2:
        case 3:
        case 4:
            return Decline(static_cast<int>(dollars), kDeclined, "Y");
        case 27:
            return Decline(27,
                           "The transaction resulted in an AVS mismatch. The address provided "
                           "does not match billing address of cardholder.",
                           "N");
        case 45:
            return Decline(45, kDeclined, "N");
        default:
            return Decline(2, kDeclined, "Y");
    }
}

struct STransaction {
    SOutcome outcome;
    std::string type;
    std::string amount;
    std::string cardNumber;
    std::string authCode;
    std::string transactionId = "0";
    std::string cardCodeResponse;
    std::string cavvResponse;
    std::string hash;
};

bool IsChargeType(std::string_view type) {
    return type == "AUTH_CAPTURE" || type == "AUTH_ONLY" || type == "CAPTURE_ONLY";
}

bool IsKnownType(std::string_view type) {
    return IsChargeType(type) || type == "PRIOR_AUTH_CAPTURE" || type == "CREDIT" || type == "VOID";
}

// Up to 13 whole digits and at most two decimals, above zero; written with two decimals.
std::optional<std::string> NormalizeAmount(std::string_view text) {
    const std::size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    const std::string_view cents =
        dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    if (dot != std::string_view::npos && (cents.empty() || cents.size() > 2 || !IsDigits(cents))) {
        return std::nullopt;
    }
    if ((!whole.empty() && !IsDigits(whole)) || (whole.empty() && cents.empty())) {
        return std::nullopt;
    }
    while (whole.size() > 1 && whole.front() == '0') {
        whole.remove_prefix(1);
    }
    if (whole.size() > 13) {
        return std::nullopt;
    }
    std::string result = whole.empty() ? "0" : std::string(whole);
    result += "." + std::string(cents) + std::string(2 - cents.size(), '0');
    if (result.find_first_of("123456789") == std::string::npos) {
        return std::nullopt;
    }
    return result;
}

long long WholeDollars(std::string_view normalizedAmount) {
    return std::stoll(std::string(normalizedAmount.substr(0, normalizedAmount.find('.'))));
}

std::string Md5Hex(std::string_view data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", digest[i]);
        hex += pair;
    }
    return hex;
}

std::string MaskedAccount(std::string_view number) {
    if (!IsDigits(number) || number.size() < 4) {
        return "";
    }
    return "XXXX" + std::string(number.substr(number.size() - 4));
}

std::string Delimited(const std::vector<std::string>& fields, const CParams& params) {
    const std::string delimiter(params.Find("x_delim_char").value_or(","));
    const std::string encapsulation = params.Value("x_encap_char");
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i != 0) {
            out += delimiter;
        }
        out += encapsulation + fields[i] + encapsulation;
    }
    return out;
}

class CAuthorizeNet final : public IGateway {
public:
    explicit CAuthorizeNet(TodayFunction today) : today_(std::move(today)) {}

    std::vector<EGatewayHost> Hosts() const override {
        return {EGatewayHost::AuthorizeNetLive, EGatewayHost::AuthorizeNetTest,
                EGatewayHost::AuthorizeNetCardPresent};
    }

    SHttpResponse Handle(const SHttpRequest& request) override;

private:
    SOutcome Check(const CParams& params, EApi api, bool hostAccepts, STransaction& t) const;
    SOutcome CheckCard(const CParams& params, EApi api, STransaction& t) const;
    STransaction Decide(const CParams& params, EApi api, bool hostAccepts);

    TodayFunction today_;
    std::atomic<unsigned long long> nextTransactionId_{2000000001};
};

SOutcome CAuthorizeNet::CheckCard(const CParams& params, EApi api, STransaction& t) const {
    static const std::string kInvalidNumber = "The credit card number is invalid.";
    std::optional<SYearMonth> expiry;
    if (api == EApi::Aim || !params.Value("x_card_num").empty()) {
        if (t.cardNumber.size() < 12 || t.cardNumber.size() > 19 || !PassesLuhn(t.cardNumber)) {
            return Error(6, kInvalidNumber);
        }
        expiry = ParseExpiry(params.Value("x_exp_date"));
        if (!expiry) {
            return Error(7, "The credit card expiration date is invalid.");
        }
    } else {
        std::optional<STrackCard> card;
        if (!params.Value("x_track1").empty()) {
            card = ParseTrack1(params.Value("x_track1"));
            if (!card) {
                return Error(88, "Track1 data is not in a valid format.");
            }
        } else if (!params.Value("x_track2").empty()) {
            card = ParseTrack2(params.Value("x_track2"));
            if (!card) {
                return Error(89, "Track2 data is not in a valid format.");
            }
        } else {
            return Error(6, kInvalidNumber);
        }
        t.cardNumber = card->number;
        if (!PassesLuhn(t.cardNumber)) {
            return Error(6, kInvalidNumber);
        }
        expiry = card->expiry;
    }
    if (*expiry < today_()) {
        return Error(8, "The credit card has expired.");
    }
    return {};
}

SOutcome CAuthorizeNet::Check(const CParams& params, EApi api, bool hostAccepts,
                              STransaction& t) const {
    if (!hostAccepts) {
        return Error(87, "Transactions of this market type cannot be processed on this system.");
    }
    if (api == EApi::CardPresent && params.Value("x_cpversion") != "1.0") {
        return Error(68, "The version parameter is invalid.");
    }
    if (params.Value("x_login").empty() || params.Value("x_tran_key").empty()) {
        return Error(13,
                     "The merchant login ID or password is invalid or the account is inactive.");
    }
    if (api == EApi::CardPresent) {
        if (params.Value("x_market_type") != "2") {
            return Error(85, "The market type is invalid.");
        }
        const std::string device = params.Value("x_device_type");
        if (!IsDigits(device) || device.size() > 2 || std::stoi(device) < 1 ||
            std::stoi(device) > 10) {
            return Error(84, "The device type is invalid.");
        }
        if (params.Value("x_response_format") != "1") {
            return Error(86, "The response format is invalid.");
        }
    }
    if (!IsKnownType(t.type)) {
        return Error(69, "The transaction type is invalid.");
    }
    const bool referencesTransaction = !IsChargeType(t.type);
    if (referencesTransaction && !IsDigits(params.Value("x_trans_id"))) {
        return Error(15, "The transaction ID is invalid.");
    }
    const bool needsAmount = t.type != "VOID" && t.type != "PRIOR_AUTH_CAPTURE";
    if ((needsAmount || params.Has("x_amount")) && !NormalizeAmount(params.Value("x_amount"))) {
        return Error(5, "A valid amount is required.");
    }
    if (t.type == "CAPTURE_ONLY" && params.Value("x_auth_code").empty()) {
        return Error(12, "An authorization code is required but not present.");
    }
    if (t.type == "CREDIT") {
        const bool lastFour = IsDigits(t.cardNumber) && t.cardNumber.size() == 4;
        if (!lastFour && !PassesLuhn(t.cardNumber)) {
            return Error(6, "The credit card number is invalid.");
        }
    }
    if (!IsChargeType(t.type)) {
        return {};
    }
    if (SOutcome card = CheckCard(params, api, t); card.code == 3) {
        return card;
    }
    if (t.cardNumber == kDeclineCard) {
        return DeclineByAmount(WholeDollars(t.amount));
    }
    if (params.Value("x_zip") == kDeclineZip) {
        return Decline(2, kDeclined, "N");
    }
    return {};
}

STransaction CAuthorizeNet::Decide(const CParams& params, EApi api, bool hostAccepts) {
    STransaction t;
    t.type = params.Has("x_type") ? ToUpper(params.Value("x_type")) : "AUTH_CAPTURE";
    t.amount = NormalizeAmount(params.Value("x_amount")).value_or(params.Value("x_amount"));
    t.cardNumber = params.Value("x_card_num");
    t.outcome = Check(params, api, hostAccepts, t);
    if (EqualsIgnoreCase(params.Value("x_test_request"), "TRUE")) {
        t.outcome.text = "(TESTMODE) " + t.outcome.text;
        if (t.outcome.code == 1) {
            t.authCode = "000000";
        }
    } else if (t.outcome.code != 3) {
        const unsigned long long id = nextTransactionId_++;
        t.transactionId = std::to_string(id);
        const std::string cardCode = params.Value("x_card_code");
        if (!cardCode.empty()) {
            t.cardCodeResponse = cardCode == kCardCodeMismatch ? "N" : "M";
        }
        if (t.outcome.code == 1) {
            t.authCode = ScrambledCode(id);
            t.cavvResponse = "2";
        }
    }
    // The gateway hashes the merchant's MD5 secret, login, id and amount; here the secret is empty.
    t.hash = Md5Hex(params.Value("x_login") + t.transactionId + t.amount);
    return t;
}

std::vector<std::string> AimFields(const STransaction& t, const CParams& params) {
    std::vector<std::string> fields(kAimFieldCount);
    fields[0] = std::to_string(t.outcome.code);
    fields[1] = "1";
    fields[2] = std::to_string(t.outcome.reason);
    fields[3] = t.outcome.text;
    fields[4] = t.authCode;
    fields[5] = t.outcome.avs;
    fields[6] = t.transactionId;
    fields[7] = params.Value("x_invoice_num");
    fields[8] = params.Value("x_description");
    fields[9] = t.amount;
    fields[10] = "CC";
    fields[11] = ToLower(t.type);
    fields[12] = params.Value("x_cust_id");
    static constexpr const char* kEchoed[] = {"x_first_name",
                                              "x_last_name",
                                              "x_company",
                                              "x_address",
                                              "x_city",
                                              "x_state",
                                              "x_zip",
                                              "x_country",
                                              "x_phone",
                                              "x_fax",
                                              "x_email",
                                              "x_ship_to_first_name",
                                              "x_ship_to_last_name",
                                              "x_ship_to_company",
                                              "x_ship_to_address",
                                              "x_ship_to_city",
                                              "x_ship_to_state",
                                              "x_ship_to_zip",
                                              "x_ship_to_country",
                                              "x_tax",
                                              "x_duty",
                                              "x_freight",
                                              "x_tax_exempt",
                                              "x_po_num"};
    std::size_t position = 13;
    for (const char* name : kEchoed) {
        fields[position++] = params.Value(name);
    }
    fields[37] = t.hash;
    fields[38] = t.cardCodeResponse;
    fields[39] = t.cavvResponse;
    fields[50] = MaskedAccount(t.cardNumber);
    fields[51] = CardBrand(t.cardNumber);
    for (const auto& [name, value] : params.All()) {
        if (name.size() < 2 || !EqualsIgnoreCase(name.substr(0, 2), "x_")) {
            fields.push_back(value);
        }
    }
    return fields;
}

// Positions 11 to 20 are reserved; the masked card, its type and the split-tender fields of a
// prepaid card (its id, the amount asked, the amount approved, the balance) follow them.
std::vector<std::string> CardPresentFields(const STransaction& t, const CParams& params) {
    std::vector<std::string> fields = {"1.0",
                                       std::to_string(t.outcome.code),
                                       std::to_string(t.outcome.reason),
                                       t.outcome.text,
                                       t.authCode,
                                       t.outcome.avs,
                                       t.cardCodeResponse,
                                       t.transactionId,
                                       t.hash,
                                       params.Value("x_user_ref")};
    fields.resize(kCardPresentReservedEnd);
    fields.insert(fields.end(), {MaskedAccount(t.cardNumber), CardBrand(t.cardNumber), "", t.amount,
                                 t.outcome.code == 1 ? t.amount : "", ""});
    return fields;
}

// Without x_delim_data=TRUE, or with a relay response asked for, the gateway renders a page
// meant for a browser, which a plug-in must never be left to parse.
std::string ReceiptPage(const STransaction& t) {
    return "<html>\r\n<head><title>Transaction Receipt</title></head>\r\n<body>\r\n<h1>" +
           std::string(t.outcome.code == 1   ? "Your transaction has been approved."
                       : t.outcome.code == 2 ? "Your transaction has been declined."
                                             : "The following errors have occurred.") +
           "</h1>\r\n<p>(" + std::to_string(t.outcome.reason) + ") " + t.outcome.text +
           "</p>\r\n<p>Transaction ID: " + t.transactionId + "</p>\r\n</body>\r\n</html>\r\n";
}

SHttpResponse HtmlResponse(std::string body) {
    SHttpResponse response;
    response.headers = {{"Server", std::string(kServer)}, {"Content-Type", "text/html"}};
    response.body = std::move(body);
    return response;
}

bool IsFormBody(const SHttpRequest& request) {
    const std::string type = request.Header("Content-Type").value_or("");
    std::string_view media = std::string_view(type).substr(0, type.find(';'));
    while (!media.empty() && media.back() == ' ') {
        media.remove_suffix(1);
    }
    return EqualsIgnoreCase(media, "application/x-www-form-urlencoded");
}

SHttpResponse CAuthorizeNet::Handle(const SHttpRequest& request) {
    if (auto problem = FindEncodingProblem(request.path, EPlus::Forbidden)) {
        return PlainTextResponse(400, "path: " + *problem, kServer);
    }
    if (auto problem = FindEncodingProblem(request.query, EPlus::Forbidden)) {
        return PlainTextResponse(400, "query: " + *problem, kServer);
    }
    if (!EqualsIgnoreCase(request.path, kPath)) {
        return PlainTextResponse(404, "no resource at " + request.path, kServer);
    }
    if (auto refused = RefuseMethod(request, "GET, POST", kServer)) {
        return *refused;
    }
    SDecodedQuery decoded = DecodeQuery(request.query, EPlus::Forbidden);
    if (!decoded.ok) {
        return PlainTextResponse(400, "query: " + decoded.error, kServer);
    }
    if (request.method == "POST" && IsFormBody(request)) {
        SDecodedQuery form = DecodeQuery(request.body, EPlus::Blank);
        if (!form.ok) {
            return PlainTextResponse(400, "body: " + form.error, kServer);
        }
        decoded.params.insert(decoded.params.end(), form.params.begin(), form.params.end());
    }
    const CParams params(std::move(decoded.params));

    const EApi api = params.Has("x_cpversion") ? EApi::CardPresent : EApi::Aim;
    bool hostAccepts = true;
    if (request.host == GatewayHost(EGatewayHost::AuthorizeNetLive)) {
        hostAccepts = api == EApi::Aim;
    } else if (request.host == GatewayHost(EGatewayHost::AuthorizeNetCardPresent)) {
        hostAccepts = api == EApi::CardPresent;
    }
    const STransaction t = Decide(params, api, hostAccepts);
    if (api == EApi::CardPresent) {
        return HtmlResponse(Delimited(CardPresentFields(t, params), params));
    }
    const bool delimited = EqualsIgnoreCase(params.Value("x_delim_data"), "TRUE");
    const bool relayed = params.Has("x_relay_response") &&
                         !EqualsIgnoreCase(params.Value("x_relay_response"), "FALSE");
    if (!delimited || relayed) {
        return HtmlResponse(ReceiptPage(t));
    }
    return HtmlResponse(Delimited(AimFields(t, params), params));
}

}  // namespace

std::unique_ptr<IGateway> MakeAuthorizeNet(TodayFunction today) {
    return std::make_unique<CAuthorizeNet>(std::move(today));
}

}  // namespace pgv::sandbox
