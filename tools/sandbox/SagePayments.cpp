// Sage Payments: the bankcard transaction and batch settlement calls of eftBankcard.dll. Both
// answer one fixed-width record framed by STX and ETX, which a client cuts by offset, so every
// field is written at exactly its width.
#include <cstdio>
#include <map>
#include <mutex>
#include <random>

#include "sandbox/Gateway.h"
#include "sandbox/Query.h"

namespace pgv::sandbox {

namespace {

constexpr std::string_view kPath = "/cgi-bin/eftBankcard.dll";
constexpr std::string_view kServer = "Microsoft-IIS/10.0";
constexpr std::string_view kTransactionQuery = "transaction";
constexpr std::string_view kSettlementQuery = "settlement";
constexpr char kStx = '\x02';
constexpr char kEtx = '\x03';
constexpr char kSeparator = '\x1C';
constexpr std::size_t kMessageWidth = 32;
constexpr std::size_t kReferenceLength = 10;
constexpr std::size_t kOrderNumberLength = 20;
constexpr std::string_view kNoReference = "0000000000";
constexpr long long kDeclineBelowCents = 100;

constexpr std::string_view kSale = "01";
constexpr std::string_view kAuthorization = "02";
constexpr std::string_view kForce = "03";
constexpr std::string_view kVoid = "04";
constexpr std::string_view kCredit = "06";
constexpr std::string_view kPriorAuthSale = "11";

struct STransactionRecord {
    char indicator = 'X';
    std::string code;
    std::string message;
    std::string frontEnd = "00";
    char cvv = 'P';
    char avs = ' ';
    std::string risk = "00";
    std::string reference = std::string(kNoReference);
    std::string orderNumber;
};

STransactionRecord Error(std::string code, std::string message) {
    STransactionRecord record;
    record.code = std::move(code);
    record.message = std::move(message);
    return record;
}

std::string Padded(std::string_view text, std::size_t width) {
    std::string out(text.substr(0, width));
    out.resize(width, ' ');
    return out;
}

// A counter past a million wraps rather than widening the field and shifting every offset after it.
std::string SixDigits(unsigned long long value) {
    char text[8];
    std::snprintf(text, sizeof text, "%06llu", value % 1000000);
    return text;
}

std::string Serialize(const STransactionRecord& r) {
    std::string out(1, kStx);
    out += r.indicator;
    out += r.code;
    out += Padded(r.message, kMessageWidth);
    out += r.frontEnd;
    out += r.cvv;
    out += r.avs;
    out += r.risk;
    out += r.reference;
    out += kSeparator + r.orderNumber + kSeparator + "0" + kSeparator + kEtx;
    return out;
}

struct SSettlementRecord {
    char indicator = 'A';
    std::string code;
    std::string message;
    unsigned long long itemCount = 0;
    long long netCents = 0;
    std::string reference = std::string(kNoReference);
};

std::string Serialize(const SSettlementRecord& r) {
    char net[32];
    std::snprintf(net, sizeof net, "%012.2f", static_cast<double>(r.netCents) / 100.0);
    std::string out(1, kStx);
    out += r.indicator;
    out += r.code;
    out += Padded(r.message, kMessageWidth);
    out += SixDigits(r.itemCount);
    out += net;
    out += r.reference;
    out += kSeparator;
    out += kEtx;
    return out;
}

bool IsKnownCode(std::string_view code) {
    for (std::string_view known : {kSale, kAuthorization, kForce, kVoid, kCredit, kPriorAuthSale}) {
        if (code == known) {
            return true;
        }
    }
    return false;
}

bool ChargesCard(std::string_view code) {
    return code == kSale || code == kAuthorization || code == kForce;
}

bool NeedsReference(std::string_view code) {
    return code == kVoid || code == kCredit || code == kPriorAuthSale;
}

bool HasValidCard(const CParams& params) {
    const std::string number = params.Value("C_cardnumber");
    return number.size() >= 12 && number.size() <= 19 && PassesLuhn(number);
}

bool HasValidExpiry(const CParams& params) {
    const std::string text = params.Value("C_exp");
    if (text.size() != 4 || !IsDigits(text)) {
        return false;
    }
    const std::optional<SYearMonth> expiry = ParseExpiry(text);
    return expiry && !(*expiry < CurrentYearMonth());
}

struct SMerchant {
    // Every reference handed out, with the amount of its transaction in cents.
    std::map<std::string, long long> references;
    unsigned long long batchItems = 0;
    long long batchNetCents = 0;
    unsigned long long batches = 0;
};

class CSagePayments final : public IGateway {
public:
    std::vector<EGatewayHost> Hosts() const override { return {EGatewayHost::SagePayments}; }

    SHttpResponse Handle(const SHttpRequest& request) override;

private:
    std::string Transaction(const CParams& params);
    std::string Settlement(const CParams& params);
    std::string RandomText(std::string_view symbols, std::size_t length);
    std::string FreshReference(const SMerchant& merchant);

    std::mutex mutex_;
    std::map<std::string, SMerchant> merchants_;
    unsigned long long approvals_ = 0;
    std::mt19937_64 random_{std::random_device{}()};
};

std::string CSagePayments::RandomText(std::string_view symbols, std::size_t length) {
    std::uniform_int_distribution<std::size_t> pick(0, symbols.size() - 1);
    std::string text(length, ' ');
    for (char& c : text) {
        c = symbols[pick(random_)];
    }
    return text;
}

std::string CSagePayments::FreshReference(const SMerchant& merchant) {
    static constexpr std::string_view kAlphanumeric =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string reference;
    do {
        reference = RandomText(kAlphanumeric, kReferenceLength);
    } while (reference == kNoReference || merchant.references.count(reference) != 0);
    return reference;
}

std::string CSagePayments::Transaction(const CParams& params) {
    const std::string merchantId = params.Value("M_id");
    if (merchantId.empty() || params.Value("M_key").empty()) {
        return Serialize(Error("911911", "SECURITY VIOLATION"));
    }
    const std::string code =
        params.Value("T_code").empty() ? std::string(kSale) : params.Value("T_code");
    if (!IsKnownCode(code)) {
        return Serialize(Error("900023", "INVALID T_CODE"));
    }
    // A credit goes back either to the referenced transaction's card or to one given anew.
    const bool cardGiven =
        ChargesCard(code) || (code == kCredit && !params.Value("C_cardnumber").empty());
    if (cardGiven && !HasValidCard(params)) {
        return Serialize(Error("900014", "INVALID C_CARDNUMBER"));
    }
    if (cardGiven && !HasValidExpiry(params)) {
        return Serialize(Error("900015", "INVALID C_EXP"));
    }
    const std::string amountText = params.Value("T_amt");
    const std::optional<long long> cents = AmountInCents(amountText);
    const bool amountRequired = ChargesCard(code) || code == kCredit;
    if (!cents && (amountRequired || !amountText.empty())) {
        return Serialize(Error("900016", "INVALID T_AMT"));
    }

    const std::lock_guard<std::mutex> lock(mutex_);
    SMerchant& merchant = merchants_[merchantId];
    long long amount = cents.value_or(0);
    if (NeedsReference(code)) {
        const auto original = merchant.references.find(params.Value("T_reference"));
        if (original == merchant.references.end()) {
            return Serialize(Error("900022", "INVALID T_REFERENCE"));
        }
        // A prior-auth sale without an amount captures what was authorised.
        if (!cents) {
            amount = original->second;
        }
    }

    STransactionRecord record;
    record.frontEnd = "10";
    record.reference = FreshReference(merchant);
    record.orderNumber = params.Value("T_ordernum");
    if (record.orderNumber.empty()) {
        record.orderNumber = RandomText("0123456789abcdef", kOrderNumberLength);
    }
    merchant.references.emplace(record.reference, amount);
    if ((code == kSale || code == kAuthorization) && amount < kDeclineBelowCents) {
        record.indicator = 'E';
        record.code = "000002";
        record.message = "DECLINED";
        record.cvv = 'N';
        return Serialize(record);
    }
    record.indicator = 'A';
    record.code = SixDigits(++approvals_);
    record.message = "APPROVED " + record.code;
    record.cvv = params.Value("C_cvv").empty() ? 'P' : 'M';
    record.avs = params.Value("C_zip").empty() ? ' ' : 'Y';
    if (code != kAuthorization && code != kVoid) {
        ++merchant.batchItems;
        merchant.batchNetCents += code == kCredit ? -amount : amount;
    }
    return Serialize(record);
}

std::string CSagePayments::Settlement(const CParams& params) {
    const std::string merchantId = params.Value("M_id");
    if (merchantId.empty() || params.Value("M_key").empty()) {
        return Serialize(SSettlementRecord{'X', "911911", "SECURITY VIOLATION"});
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    SMerchant& merchant = merchants_[merchantId];
    SSettlementRecord record{'A',
                             SixDigits(++merchant.batches),
                             "BATCH ACCEPTED",
                             merchant.batchItems,
                             merchant.batchNetCents,
                             FreshReference(merchant)};
    merchant.batchItems = 0;
    merchant.batchNetCents = 0;
    return Serialize(record);
}

SHttpResponse CSagePayments::Handle(const SHttpRequest& request) {
    if (!EqualsIgnoreCase(request.path, kPath)) {
        return PlainTextResponse(404, "no resource at " + request.path, kServer);
    }
    if (auto refused = RefuseMethod(request, "POST", kServer)) {
        return *refused;
    }
    if (request.query != kTransactionQuery && request.query != kSettlementQuery) {
        return PlainTextResponse(400, "the query names no operation: \"" + request.query + "\"",
                                 kServer);
    }
    SDecodedQuery form = DecodeQuery(request.body, EPlus::Blank);
    if (!form.ok) {
        return PlainTextResponse(400, "body: " + form.error, kServer);
    }
    const CParams params(std::move(form.params));
    SHttpResponse response;
    response.headers = {{"Server", std::string(kServer)}, {"Content-Type", "text/html"}};
    response.body = request.query == kTransactionQuery ? Transaction(params) : Settlement(params);
    return response;
}

}  // namespace

std::unique_ptr<IGateway> MakeSagePayments() {
    return std::make_unique<CSagePayments>();
}

}  // namespace pgv::sandbox
