// The exchange as the Mac plug-in makes it: the gateway's URL whole, the request appended to it
// for GET, HTTP/1.1, each header line given as a name and a value; the answer is read by the
// steps both lines share.
#include <optional>

#include "gateway/AuthBase.h"
#include "transport/Exchange.h"
#include "transport/ExchangeSteps.h"

namespace {

constexpr char kUserAgentHeader[] = "User-Agent: Tenvale Paygrove";
constexpr char kFieldSeparator[] = ": ";

std::string Exchange(CUrlHttpSession& session, const SExchange& exchange, Log& log,
                     std::optional<CLogIndent>& indent, std::string& body) {
    if (exchange.url == nullptr) {
        return kInvalidUrl;
    }
    const bool post = (exchange.flags & kRequestPost) != 0;
    std::string url = exchange.url;
    if (!post) {
        url += exchange.request;
    }
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos || !IsHttps(url.substr(0, schemeEnd)) ||
        !session.SetUrl(url)) {
        return kInvalidUrl;
    }

    if (!session.CreateRequest(post ? "POST" : "GET")) {
        log.Write("Error creating HTTPMessageRequest");
        return kConnectFailed;
    }
    std::vector<std::string> lines = exchange.customHeaders;
    lines.emplace_back(kUserAgentHeader);
    for (const std::string& line : lines) {
        // The Mac plug-in has always split at the first colon and skipped the separator's two
        // characters, whatever they are; a line without the separator sends nothing.
        if (line.find(kFieldSeparator) == std::string::npos) {
            continue;
        }
        const size_t colon = line.find(':');
        const std::string name = line.substr(0, colon);
        const std::string value = line.substr(colon + 2);
        log.Write("Name=%s-Value=%s", name.c_str(), value.c_str());
        session.SetHeader(name, value);
    }
    if (!session.CreateStream(post ? std::string(exchange.request) : std::string(),
                              exchange.timeout)) {
        log.Write("Error creating HTTPMessageRequest stream");
        return kConnectFailed;
    }

    log.Write("Opening connection");
    indent.emplace(log);
    if (!session.Send()) {
        return kConnectFailed;
    }

    return ReceiveAnswer(session, log, body);
}

}  // namespace

bool RunMacExchange(CUrlHttpSession& session, const SExchange& exchange, Log& log,
                    std::string& response) {
    return RunSteps(session, log, response,
                    [&](std::optional<CLogIndent>& indent, std::string& body) {
                        return Exchange(session, exchange, log, indent, body);
                    });
}
