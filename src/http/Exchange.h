// What a gateway asks of the network and what comes back: one HTTPS request, and the answer's
// body or the reason there is none. The gateway base class builds the request and hands it to the
// exchange it was given; which exchange that is, the platform decides. Neither side sees the other.
#ifndef PAYGROVE_HTTP_EXCHANGE_H
#define PAYGROVE_HTTP_EXCHANGE_H

#include <string>
#include <vector>

class Log;

// Every way an exchange fails. FileMaker solutions compare the texts, so they never change.
enum class EExchangeFailure {
    None,
    InvalidUrl,
    ConnectFailed,
    // The time ran out after the request went out, or while the platform still held it and may
    // yet send it: a charge may follow, and a script must not take this for "never sent".
    NoAnswerInTime,
    HttpError,  // its text is followed by the status code
    SizeUnknown,
    ReadFailed,
    // Anything that goes wrong outside the exchange's own steps.
    Unknown,
};

inline const char* ExchangeFailureText(EExchangeFailure failure) {
    switch (failure) {
        case EExchangeFailure::None:
            return "";
        case EExchangeFailure::InvalidUrl:
            return "Invalid URL";
        case EExchangeFailure::ConnectFailed:
            return "System failed connect";
        case EExchangeFailure::NoAnswerInTime:
            return "No answer in time; the request may have been sent";
        case EExchangeFailure::HttpError:
            return "HTTP error";
        case EExchangeFailure::SizeUnknown:
            return "Error retrieving response size";
        case EExchangeFailure::ReadFailed:
            return "Error reading response";
        case EExchangeFailure::Unknown:
            break;
    }
    return "Unknown System Failure";
}

struct SHttpRequest {
    bool post = false;  // the body is sent with POST; without it, a GET
    // The whole URL; a GET's request text is already its end.
    std::string url;
    // The gateway's own header lines, "Name: value", in the order they are sent.
    std::vector<std::string> headerLines;
    std::string body;
    // Seconds that bound the whole exchange; 0 or less keeps the platform's bounded defaults.
    int timeoutSeconds = 0;
};

struct SHttpOutcome {
    bool ok = false;
    // The answer's body up to its first zero byte, or the failure's text.
    std::string text;
    // Whether the gateway may hold the request: it answered, or some of the request went out, or
    // still may, before the exchange failed. False only when none of it can have left.
    bool mayHaveBeenSent = false;
};

class IExchange {
public:
    virtual ~IExchange() = default;
    // One exchange, its progress logged to `log`. Never throws.
    virtual SHttpOutcome Perform(const SHttpRequest& request, Log& log) = 0;
};

#endif
