#include "transport/Line.h"

namespace {

constexpr char kUserAgentHeader[] = "User-Agent: Tenvale Paygrove";
constexpr char kAcceptHeader[] = "Accept: text/*";
// Each transaction has a connection of its own, closed after its answer: a connection kept for
// the next one could be dropped by the gateway or a proxy once it has read that one's request,
// and an HTTP library that sends the request again on a new connection would charge twice.
constexpr char kConnectionHeader[] = "Connection: close";
constexpr char kFieldSeparator[] = ": ";

SWireRequest Common(const SHttpRequest& request, const SUrlParts& url) {
    SWireRequest wire;
    wire.method = request.post ? "POST" : "GET";
    wire.url = request.url;
    wire.parts = url;
    wire.body = request.post ? request.body : std::string();
    wire.timeoutSeconds = request.timeoutSeconds;
    return wire;
}

// A line the gateway wrote as "Name: value" goes as that name and value.
SHttpHeader SplitAtColon(const std::string& line) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
        return {line, std::string()};
    }
    const size_t value = line.compare(colon + 1, 1, " ") == 0 ? colon + 2 : colon + 1;
    return {line.substr(0, colon), line.substr(value)};
}

SWireRequest WindowsLine(const SHttpRequest& request, const SUrlParts& url) {
    SWireRequest wire = Common(request, url);
    wire.version = "HTTP/1.0";
    for (const std::string& line : request.headerLines) {
        wire.headers.push_back(SplitAtColon(line));
    }
    wire.headers.push_back(SplitAtColon(kAcceptHeader));
    wire.headers.push_back(SplitAtColon(kUserAgentHeader));
    wire.headers.push_back(SplitAtColon(kConnectionHeader));
    wire.opening = "Opening connection to " + request.url + wire.body;
    return wire;
}

SWireRequest MacLine(const SHttpRequest& request, const SUrlParts& url) {
    SWireRequest wire = Common(request, url);
    wire.version = "HTTP/1.1";
    std::vector<std::string> lines = request.headerLines;
    lines.emplace_back(kUserAgentHeader);
    lines.emplace_back(kConnectionHeader);
    for (const std::string& line : lines) {
        // The Mac plug-in has always split at the first colon and skipped the separator's two
        // characters, whatever they are; a line without the separator sends nothing.
        if (line.find(kFieldSeparator) == std::string::npos) {
            continue;
        }
        const size_t colon = line.find(':');
        wire.headers.push_back({line.substr(0, colon), line.substr(colon + 2)});
    }
    wire.opening = "Opening connection";
    return wire;
}

}  // namespace

SWireRequest LineRequest(EHttpLine line, const SHttpRequest& request, const SUrlParts& url) {
    return line == EHttpLine::Mac ? MacLine(request, url) : WindowsLine(request, url);
}
