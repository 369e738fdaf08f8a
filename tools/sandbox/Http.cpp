#include "sandbox/Http.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace pgv::sandbox {

namespace {

bool IsTokenChar(unsigned char c) {
    if (std::isalnum(c)) {
        return true;
    }
    static constexpr std::string_view kExtra = "!#$%&'*+-.^_`|~";
    return kExtra.find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsToken(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!IsTokenChar(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

bool IsFieldValueChar(unsigned char c) {
    return c == '\t' || (c >= 0x20 && c != 0x7F);
}

std::string ByteName(unsigned char c) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", c);
    return text;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

bool AllDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::string> SHttpRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (EqualsIgnoreCase(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string ToLower(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

std::string ToUpper(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return result;
}

std::string NormalizeHost(std::string_view hostHeader) {
    std::string_view host = TrimBlanks(hostHeader);
    if (!host.empty() && host.front() == '[') {
        host = host.substr(0, host.find(']') + 1);
    } else {
        host = host.substr(0, host.find(':'));
    }
    return ToLower(host);
}

CRequestParser::CRequestParser(SHttpLimits limits) : limits_(limits) {}

EParse CRequestParser::Fail(int status, std::string message) {
    failure_.status = status;
    failure_.message = std::move(message);
    state_ = EParse::Failed;
    return state_;
}

EParse CRequestParser::Feed(std::string_view bytes) {
    if (state_ != EParse::NeedMore) {
        return state_;
    }
    received_.append(bytes);
    if (headLength_ == 0) {
        std::size_t end = received_.find('\n', scanned_);
        while (end != std::string::npos) {
            std::string_view line(received_.data() + scanned_, end - scanned_);
            if (line.empty() || line == "\r") {
                headLength_ = end + 1;
                break;
            }
            scanned_ = end + 1;
            end = received_.find('\n', scanned_);
        }
        std::size_t headSize = headLength_ != 0 ? headLength_ : received_.size();
        if (headSize > limits_.maxHead) {
            return Fail(431, "the request line and headers exceed " +
                                 std::to_string(limits_.maxHead) + " bytes");
        }
        if (headLength_ == 0) {
            return state_;
        }
        if (ParseHead(std::string_view(received_).substr(0, scanned_)) == EParse::Failed) {
            return state_;
        }
    }
    const std::size_t total = headLength_ + bodyLength_;
    if (received_.size() < total) {
        return state_;
    }
    received_.resize(total);
    request_.body = received_.substr(headLength_);
    state_ = EParse::Complete;
    return state_;
}

EParse CRequestParser::ParseHead(std::string_view head) {
    bool first = true;
    while (!head.empty()) {
        const std::size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        head.remove_prefix(end + 1);
        if (line.empty() || line.back() != '\r') {
            return Fail(400, "a line of the request head does not end in CRLF");
        }
        line.remove_suffix(1);
        const EParse result = first ? ParseRequestLine(line) : ParseHeaderLine(line);
        if (result == EParse::Failed) {
            return result;
        }
        first = false;
    }
    if (first) {
        return Fail(400, "the request line is empty");
    }
    return CheckFraming();
}

EParse CRequestParser::ParseRequestLine(std::string_view line) {
    const std::size_t firstSpace = line.find(' ');
    const std::size_t secondSpace =
        firstSpace == std::string_view::npos ? firstSpace : line.find(' ', firstSpace + 1);
    if (secondSpace == std::string_view::npos ||
        line.find(' ', secondSpace + 1) != std::string_view::npos) {
        return Fail(400, "the request line is not METHOD SP TARGET SP VERSION");
    }
    const std::string_view method = line.substr(0, firstSpace);
    const std::string_view target = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    const std::string_view version = line.substr(secondSpace + 1);
    if (!IsToken(method)) {
        return Fail(400, "the method is not a token");
    }
    if (target.empty() || target.front() != '/') {
        return Fail(400, "the request target does not start with /");
    }
    for (char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            return Fail(400, "the request target holds the byte " + ByteName(byte));
        }
    }
    if (version != "HTTP/1.0" && version != "HTTP/1.1") {
        const bool wellFormed = version.size() == 8 && version.substr(0, 5) == "HTTP/" &&
                                std::isdigit(static_cast<unsigned char>(version[5])) &&
                                version[6] == '.' &&
                                std::isdigit(static_cast<unsigned char>(version[7]));
        return wellFormed ? Fail(505, "only HTTP/1.0 and HTTP/1.1 are served")
                          : Fail(400, "the HTTP version is malformed");
    }
    request_.method = std::string(method);
    request_.target = std::string(target);
    request_.version = std::string(version);
    const std::size_t question = target.find('?');
    request_.path = std::string(target.substr(0, question));
    if (question != std::string_view::npos) {
        request_.query = std::string(target.substr(question + 1));
    }
    return state_;
}

EParse CRequestParser::ParseHeaderLine(std::string_view line) {
    if (line.front() == ' ' || line.front() == '\t') {
        return Fail(400, "folded header lines are not accepted");
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return Fail(400, "a header line has no colon");
    }
    const std::string_view name = line.substr(0, colon);
    if (!IsToken(name)) {
        return Fail(400, "the header name \"" + std::string(name) + "\" is not a token");
    }
    const std::string_view value = TrimBlanks(line.substr(colon + 1));
    for (char c : value) {
        if (!IsFieldValueChar(static_cast<unsigned char>(c))) {
            return Fail(400, "the header " + std::string(name) + " holds the byte " +
                                 ByteName(static_cast<unsigned char>(c)));
        }
    }
    request_.headers.emplace_back(name, value);
    return state_;
}

EParse CRequestParser::CheckFraming() {
    int hosts = 0;
    std::optional<std::string_view> length;
    for (const auto& [name, value] : request_.headers) {
        if (EqualsIgnoreCase(name, "Host")) {
            ++hosts;
            request_.host = NormalizeHost(value);
        } else if (EqualsIgnoreCase(name, "Transfer-Encoding")) {
            return Fail(501, "a request body with Transfer-Encoding is not accepted");
        } else if (EqualsIgnoreCase(name, "Content-Length")) {
            if (!AllDigits(value) || value.size() > 18) {
                return Fail(400, "Content-Length \"" + value + "\" is not a byte count");
            }
            if (length && *length != value) {
                return Fail(400, "the Content-Length headers disagree");
            }
            length = value;
        }
    }
    if (hosts > 1) {
        return Fail(400, "more than one Host header");
    }
    if (hosts == 0 && request_.version == "HTTP/1.1") {
        return Fail(400, "an HTTP/1.1 request without a Host header");
    }
    if (!length) {
        if (request_.method == "POST" || request_.method == "PUT") {
            return Fail(411, request_.method + " without Content-Length");
        }
        return state_;
    }
    const unsigned long long count = std::stoull(std::string(*length));
    if (count > limits_.maxBody) {
        return Fail(413, "the body of " + std::string(*length) + " bytes exceeds " +
                             std::to_string(limits_.maxBody) + " bytes");
    }
    bodyLength_ = static_cast<std::size_t>(count);
    return state_;
}

std::string ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 201:
            return "Created";
        case 204:
            return "No Content";
        case 206:
            return "Partial Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 303:
            return "See Other";
        case 304:
            return "Not Modified";
        case 307:
            return "Temporary Redirect";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 411:
            return "Length Required";
        case 413:
            return "Content Too Large";
        case 421:
            return "Misdirected Request";
        case 431:
            return "Request Header Fields Too Large";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        case 504:
            return "Gateway Timeout";
        case 505:
            return "HTTP Version Not Supported";
        default:
            return "Unknown";
    }
}

std::string HttpDate(std::time_t when) {
    static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                         "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.tm_wday],
                  utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                  utc.tm_sec);
    return text;
}

std::string SerializeResponse(const SHttpResponse& response, std::time_t now) {
    std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason +
                      "\r\nDate: " + HttpDate(now) + "\r\n";
    for (const auto& [name, value] : response.headers) {
        out += name + ": " + value + "\r\n";
    }
    out +=
        "Content-Length: " + std::to_string(response.body.size()) + "\r\nConnection: close\r\n\r\n";
    out += response.body;
    return out;
}

SHttpResponse PlainTextResponse(int status, std::string_view message, std::string_view server) {
    SHttpResponse response;
    response.status = status;
    response.reason = ReasonPhrase(status);
    response.headers = {{"Server", std::string(server)},
                        {"Content-Type", "text/plain; charset=us-ascii"}};
    response.body = response.reason + ": " + std::string(message) + "\n";
    return response;
}

std::optional<SHttpResponse> RefuseMethod(const SHttpRequest& request, std::string_view allow,
                                          std::string_view server) {
    for (size_t start = 0; start < allow.size();) {
        const size_t end = std::min(allow.find(',', start), allow.size());
        std::string_view method = allow.substr(start, end - start);
        while (!method.empty() && method.front() == ' ') {
            method.remove_prefix(1);
        }
        if (method == request.method) {
            return std::nullopt;
        }
        start = end + 1;
    }
    SHttpResponse response =
        PlainTextResponse(405, request.method + " is not allowed here", server);
    response.headers.emplace_back("Allow", std::string(allow));
    return response;
}

}  // namespace pgv::sandbox
