// The exchange as the Windows plug-in has always made it: the URL cracked into host and target,
// HTTP/1.0, an Accept header; the answer is read by the steps both lines share.
#include <optional>

#include "gateway/AuthBase.h"
#include "transport/Exchange.h"
#include "transport/ExchangeSteps.h"

namespace {

constexpr char kAgent[] = "Tenvale";
constexpr char kProtocol[] = "HTTP/1.0";
constexpr char kAcceptHeader[] = "Accept: text/*";
constexpr char kUserAgentHeader[] = "User-Agent: Tenvale Paygrove";

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

    return ReceiveAnswer(session, log, body);
}

}  // namespace

bool RunExchange(CHttpSession& session, const SExchange& exchange, Log& log,
                 std::string& response) {
    return RunSteps(session, log, response,
                    [&](std::optional<CLogIndent>& indent, std::string& body) {
                        return Exchange(session, exchange, log, indent, body);
                    });
}
