#include "transport/LineExchange.h"

#include "transport/ContentLength.h"
#include "util/Text.h"

namespace {

constexpr size_t kStatusDigits = 3;
constexpr char kIdentityEncoding[] = "identity";

// After the request is sent: the status (200 and 206 only), a body sent as it is, the announced
// length, then the body up to that length, all of it.
EExchangeFailure ReceiveAnswer(IHttpBackend& backend, Log& log, std::string& body,
                               std::string& status) {
    backend.QueryStatusCode(status);
    status = status.substr(0, kStatusDigits);
    log.Write("Opened - Got HTTP code %s", status.c_str());
    if (status != "200" && status != "206") {
        return EExchangeFailure::HttpError;
    }
    // An encoded body is not the text the gateway answered: read as it stands, a compressed
    // approval would be cut at its compressed length or read as other bytes.
    std::string encoding;
    if (backend.QueryContentEncoding(encoding) && !EqualNoCase(Trim(encoding), kIdentityEncoding)) {
        return EExchangeFailure::ReadFailed;
    }

    std::string lengthText;
    const std::optional<unsigned long long> length =
        backend.QueryContentLength(lengthText) ? ParseContentLength(lengthText) : std::nullopt;
    if (!length) {
        return EExchangeFailure::SizeUnknown;
    }
    if (*length > kMaxResponseBytes) {
        return EExchangeFailure::Unknown;
    }
    log.Write("Response size = %d", static_cast<int>(*length));

    std::string area(*length + 1, '\0');
    size_t received = 0;
    while (received < *length) {
        const long count = backend.Read(&area[received], *length - received);
        // A body that ends before the length it announced is a failure too, not a result: a
        // cut approval could carry a cut transaction id.
        if (count <= 0) {
            return EExchangeFailure::ReadFailed;
        }
        received += static_cast<size_t>(count);
    }
    log.Write("Read response");
    body.assign(area.c_str());
    return EExchangeFailure::None;
}

// An HTTP error's text names the status code.
std::string FailureText(EExchangeFailure failure, const std::string& status) {
    return ExchangeFailureText(failure) +
           (failure == EExchangeFailure::HttpError ? status : std::string());
}

}  // namespace

CLineExchange::CLineExchange(EHttpLine line, HttpBackendFactory createBackend)
    : m_Line(line), m_CreateBackend(createBackend) {}

EExchangeFailure CLineExchange::SendRequest(const SHttpRequest& request, Log& log,
                                            IHttpBackend& backend,
                                            std::optional<CLogIndent>& indent) const {
    const std::optional<SUrlParts> url = ParseHttpsUrl(request.url);
    if (!url) {
        return EExchangeFailure::InvalidUrl;
    }
    const SWireRequest wire = LineRequest(m_Line, request, *url);
    if (!backend.Prepare(wire, log)) {
        return EExchangeFailure::ConnectFailed;
    }
    log.Write("%s", wire.opening.c_str());
    indent.emplace(log);
    const EExchangeFailure sent = backend.Send();
    // The time ran out before any of the request went out, and none of it will.
    if (sent == EExchangeFailure::NoAnswerInTime && !backend.RequestMayHaveLeft()) {
        return EExchangeFailure::ConnectFailed;
    }
    return sent;
}

SHttpOutcome CLineExchange::Perform(const SHttpRequest& request, Log& log) {
    SHttpOutcome outcome;
    EExchangeFailure failure = EExchangeFailure::Unknown;
    std::string status;
    try {
        std::unique_ptr<IHttpBackend> backend = m_CreateBackend();
        // The indentation that the opening of the connection raised lasts until it is closed.
        std::optional<CLogIndent> indent;
        bool answered = false;
        try {
            if (backend) {
                failure = SendRequest(request, log, *backend, indent);
                answered = failure == EExchangeFailure::None;
                if (answered) {
                    failure = ReceiveAnswer(*backend, log, outcome.text, status);
                }
            }
        } catch (...) {
            failure = EExchangeFailure::Unknown;
        }
        if (failure != EExchangeFailure::None) {
            log.Write("**Error - %s", FailureText(failure, status).c_str());
        }
        // Asked while the connection is still open: a request the gateway may hold is never
        // reported as one that could not connect, since a script would send it again.
        outcome.mayHaveBeenSent = answered || (backend && backend->RequestMayHaveLeft());
        if (backend) {
            backend->Close();
        }
    } catch (...) {
        failure = EExchangeFailure::Unknown;
    }
    log.Write("Closed connection");
    outcome.ok = failure == EExchangeFailure::None;
    if (!outcome.ok) {
        outcome.text = FailureText(failure, status);
    }
    return outcome;
}
