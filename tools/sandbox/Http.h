// The HTTP/1.x request parser and response writer of the sandbox. Tests assert the exact bytes a
// client sent, so a parsed request keeps its headers in the order received and the parser reports
// precisely which bytes belonged to the request.
#ifndef PAYGROVE_SANDBOX_HTTP_H
#define PAYGROVE_SANDBOX_HTTP_H

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pgv::sandbox {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct SHttpRequest {
    std::string method;
    std::string target;
    std::string path;
    std::string query;  // raw text after the first '?', still percent-encoded
    std::string version;
    HeaderList headers;
    std::string body;
    std::string host;  // the Host header in lower case, port stripped

    std::optional<std::string> Header(std::string_view name) const;
};

struct SHttpResponse {
    int status = 200;
    std::string reason = "OK";
    HeaderList headers;  // written after Date, before Content-Length
    std::string body;
};

struct SHttpLimits {
    std::size_t maxHead = 64 * 1024;
    std::size_t maxBody = 1024 * 1024;
};

enum class EParse { NeedMore, Complete, Failed };

struct SParseFailure {
    int status = 400;
    std::string message;
};

class CRequestParser {
public:
    explicit CRequestParser(SHttpLimits limits = {});

    // Bytes past the end of the request (by Content-Length) are not taken.
    EParse Feed(std::string_view bytes);

    EParse State() const { return state_; }
    // The bytes of this request as received, also when it failed or is incomplete.
    const std::string& Received() const { return received_; }
    const SHttpRequest& Request() const { return request_; }
    const SParseFailure& Failure() const { return failure_; }

private:
    EParse Fail(int status, std::string message);
    EParse ParseHead(std::string_view head);
    EParse ParseRequestLine(std::string_view line);
    EParse ParseHeaderLine(std::string_view line);
    EParse CheckFraming();

    SHttpLimits limits_;
    EParse state_ = EParse::NeedMore;
    std::string received_;
    std::size_t scanned_ = 0;
    std::size_t headLength_ = 0;
    std::size_t bodyLength_ = 0;
    SHttpRequest request_;
    SParseFailure failure_;
};

bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string ToLower(std::string_view text);
std::string ToUpper(std::string_view text);

// "Host" header value to the bare lower-case host name.
std::string NormalizeHost(std::string_view hostHeader);

std::string ReasonPhrase(int status);
std::string HttpDate(std::time_t when);

// Status line, Date, the response's headers, Content-Length, Connection: close, body.
std::string SerializeResponse(const SHttpResponse& response, std::time_t now);

SHttpResponse PlainTextResponse(int status, std::string_view message, std::string_view server);

// The 405 a resource answers to a method outside `allow` (a list such as "GET, POST"), or
// nothing when the method is allowed.
std::optional<SHttpResponse> RefuseMethod(const SHttpRequest& request, std::string_view allow,
                                          std::string_view server);

}  // namespace pgv::sandbox

#endif
