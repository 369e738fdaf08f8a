#include "transport/LineExchange.h"

#include "transport/ContentLength.h"

namespace {

constexpr size_t kStatusDigits = 3;
constexpr char kHttpError[] = "HTTP error";
constexpr char kSizeUnknown[] = "Error retrieving response size";
constexpr char kReadFailed[] = "Error reading response";

// After the request is sent: the status (200 and 206 only), the announced length, then the body
// up to that length, all of it. Returns the failure's text, empty on success.
std::string ReceiveAnswer(IHttpBackend& backend, Log& log, std::string& body) {
    std::string status;
    backend.QueryStatusCode(status);
    status = status.substr(0, kStatusDigits);
    log.Write("Opened - Got HTTP code %s", status.c_str());
    if (status != "200" && status != "206") {
        return kHttpError + status;
    }

    std::string lengthText;
    const std::optional<unsigned long long> length =
        backend.QueryContentLength(lengthText) ? ParseContentLength(lengthText) : std::nullopt;
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
        const long count = backend.Read(&area[received], *length - received);
        if (count < 0) {
            return kReadFailed;
        }
        if (count == 0) {
            // The body ended before the length it announced: a cut approval could carry a cut
            // transaction id, so a cut answer is a failure, not a result.
            return kReadFailed;
        }
        received += static_cast<size_t>(count);
    }
    log.Write("Read response");
    body.assign(area.c_str());
    return std::string();
}

}  // namespace

CLineExchange::CLineExchange(EHttpLine line, HttpBackendFactory createBackend)
    : m_Line(line), m_CreateBackend(createBackend) {}

std::string CLineExchange::Exchange(const SHttpRequest& request, Log& log, IHttpBackend& backend,
                                    std::optional<CLogIndent>& indent, std::string& body) const {
    const std::optional<SUrlParts> url = ParseHttpsUrl(request.url);
    if (!url) {
        return kInvalidUrl;
    }
    const SWireRequest wire = LineRequest(m_Line, request, *url);
    if (!backend.Prepare(wire, log)) {
        return kConnectFailed;
    }
    log.Write("%s", wire.opening.c_str());
    indent.emplace(log);
    if (!backend.Send()) {
        return kConnectFailed;
    }
    return ReceiveAnswer(backend, log, body);
}

SHttpOutcome CLineExchange::Perform(const SHttpRequest& request, Log& log) {
    SHttpOutcome outcome;
    std::string error;
    try {
        std::unique_ptr<IHttpBackend> backend = m_CreateBackend();
        // The indentation that the opening of the connection raised lasts until it is closed.
        std::optional<CLogIndent> indent;
        try {
            error = backend ? Exchange(request, log, *backend, indent, outcome.text)
                            : kUnknownSystemFailure;
        } catch (...) {
            error = kUnknownSystemFailure;
        }
        if (!error.empty()) {
            log.Write("**Error - %s", error.c_str());
        }
        if (backend) {
            backend->Close();
        }
    } catch (...) {
        error = kUnknownSystemFailure;
    }
    log.Write("Closed connection");
    outcome.ok = error.empty();
    if (!outcome.ok) {
        outcome.text = error;
    }
    return outcome;
}
