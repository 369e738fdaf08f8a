// The exchange as the Windows plug-in has always made it: HTTP/1.0, only 200 and 206 accepted,
// the body read up to its announced length, every failure turned into a fixed text.
#include <optional>

#include "gateway/AuthBase.h"
#include "transport/Exchange.h"

namespace {

constexpr char kAgent[] = "Tenvale";
constexpr char kProtocol[] = "HTTP/1.0";
constexpr char kAcceptHeader[] = "Accept: text/*";
constexpr char kUserAgentHeader[] = "User-Agent: Tenvale Paygrove";
constexpr size_t kStatusDigits = 3;

constexpr char kInvalidUrl[] = "Invalid URL";
constexpr char kConnectFailed[] = "System failed connect";
constexpr char kHttpError[] = "HTTP error";
constexpr char kSizeUnknown[] = "Error retrieving response size";
constexpr char kReadFailed[] = "Error reading response";

bool IsHttps(const std::string& scheme) {
    return scheme.size() == 5 && (scheme[0] | 0x20) == 'h' && (scheme[1] | 0x20) == 't' &&
           (scheme[2] | 0x20) == 't' && (scheme[3] | 0x20) == 'p' && (scheme[4] | 0x20) == 's';
}

// A whole decimal number, blanks around it allowed; anything else is unreadable.
std::optional<unsigned long long> ParseLength(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    unsigned long long value = 0;
    for (size_t i = first; i <= last; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > kMaxResponseBytes) {
            value = kMaxResponseBytes + 1;
        }
    }
    return value;
}

std::string HeaderBlock(const std::vector<std::string>& customHeaders) {
    std::string block;
    for (const std::string& line : customHeaders) {
        block += line + "\r\n";
    }
    block += std::string(kAcceptHeader) + "\r\n";
    block += std::string(kUserAgentHeader) + "\r\n";
    return block;
}

// The exchange up to the body; returns the error text, empty on success.
std::string Exchange(CHttpSession& session, const SExchange& exchange, Log& log,
                     std::optional<CLogIndent>& indent, std::string& body) {
    SUrlParts url;
    if (exchange.url == nullptr || !session.CrackUrl(exchange.url, url) || !IsHttps(url.scheme)) {
        return kInvalidUrl;
    }
    const bool post = (exchange.flags & kRequestPost) != 0;
    std::string target = url.path;
    if (!post) {
        target += exchange.request;
    }

    log.Write("Opening connection to %s%s", exchange.url, exchange.request);
    indent.emplace(log);
    if (!session.Open(kAgent, exchange.timeout) || !session.Connect(url.host, url.port) ||
        !session.OpenRequest(post ? "POST" : "GET", target, kProtocol)) {
        return kConnectFailed;
    }
    session.IgnoreRevocation();
    session.AddHeaders(HeaderBlock(exchange.customHeaders));
    if (!session.Send(post ? std::string(exchange.request) : std::string())) {
        return kConnectFailed;
    }

    std::string status;
    session.QueryStatusCode(status);
    status = status.substr(0, kStatusDigits);
    log.Write("Opened - Got HTTP code %s", status.c_str());
    if (status != "200" && status != "206") {
        return kHttpError + status;
    }

    std::string lengthText;
    const std::optional<unsigned long long> length =
        session.QueryContentLength(lengthText) ? ParseLength(lengthText) : std::nullopt;
    if (!length) {
        return kSizeUnknown;
    }
    if (*length > kMaxResponseBytes) {
        return kUnknownSystemFailure;
    }
    log.Write("Response size = %d", static_cast<int>(*length));

    std::string area(*length + 1, '\0');
    size_t received = 0;
    while (received < *length) {
        const long count = session.Read(&area[received], *length - received);
        if (count < 0) {
            return kReadFailed;
        }
        if (count == 0) {
            break;
        }
        received += static_cast<size_t>(count);
    }
    log.Write("Read response");
    body.assign(area.c_str());
    return std::string();
}

}  // namespace

bool RunExchange(CHttpSession& session, const SExchange& exchange, Log& log,
                 std::string& response) {
    std::string body;
    std::string error;
    try {
        std::optional<CLogIndent> indent;
        try {
            error = Exchange(session, exchange, log, indent, body);
        } catch (...) {
            error = kUnknownSystemFailure;
        }
        if (!error.empty()) {
            log.Write("**Error - %s", error.c_str());
        }
        session.Close();
    } catch (...) {
        error = kUnknownSystemFailure;
    }
    log.Write("Closed connection");
    if (!error.empty()) {
        response = error;
        return false;
    }
    response = std::move(body);
    return true;
}
