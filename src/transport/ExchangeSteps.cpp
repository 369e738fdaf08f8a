#include "transport/ExchangeSteps.h"

#include "transport/Exchange.h"

namespace {

constexpr size_t kStatusDigits = 3;
constexpr char kHttpError[] = "HTTP error";
constexpr char kSizeUnknown[] = "Error retrieving response size";
constexpr char kReadFailed[] = "Error reading response";

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

}  // namespace

bool IsHttps(const std::string& scheme) {
    return scheme.size() == 5 && (scheme[0] | 0x20) == 'h' && (scheme[1] | 0x20) == 't' &&
           (scheme[2] | 0x20) == 't' && (scheme[3] | 0x20) == 'p' && (scheme[4] | 0x20) == 's';
}

std::string ReceiveAnswer(CHttpAnswer& session, Log& log, std::string& body) {
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

bool RunSteps(CHttpAnswer& session, Log& log, std::string& response, const ExchangeSteps& steps) {
    std::string body;
    std::string error;
    try {
        std::optional<CLogIndent> indent;
        try {
            error = steps(indent, body);
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
