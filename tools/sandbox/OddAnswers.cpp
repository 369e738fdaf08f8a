#include "sandbox/OddAnswers.h"

#include <optional>
#include <string_view>

namespace pgv::sandbox {

namespace {

constexpr std::string_view kServer = "paygrove-sandbox-odd";

std::string Head(int status, std::time_t now, const HeaderList& framing) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) +
                       "\r\nDate: " + HttpDate(now) + "\r\nServer: " + std::string(kServer) +
                       "\r\nContent-Type: text/plain\r\n";
    for (const auto& [name, value] : framing) {
        head += name + ": " + value + "\r\n";
    }
    return head + "Connection: close\r\n\r\n";
}

std::string Exact(int status, std::time_t now, const std::string& body, HeaderList extra = {}) {
    extra.emplace_back("Content-Length", std::to_string(body.size()));
    return Head(status, now, extra) + body;
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::optional<int> StatusFromPath(std::string_view code) {
    if (code.size() != 3 || code[0] < '1' || code[0] > '5' || code[1] < '0' || code[1] > '9' ||
        code[2] < '0' || code[2] > '9') {
        return std::nullopt;
    }
    return std::stoi(std::string(code));
}

}  // namespace

SOddAnswer OddAnswer(const SHttpRequest& request, std::time_t now) {
    const std::string_view path = request.path;
    static constexpr std::string_view kStatus = "/status/";
    static constexpr std::string_view kLength = "/length/";
    SOddAnswer answer;
    if (path.substr(0, kStatus.size()) == kStatus) {
        if (auto status = StatusFromPath(path.substr(kStatus.size()))) {
            HeaderList extra;
            if (IsRedirect(*status)) {
                extra.emplace_back("Location", "/ok");
            }
            answer.bytes = Exact(*status, now, "odd " + std::to_string(*status), extra);
            return answer;
        }
    } else if (path.substr(0, kLength.size()) == kLength && path.size() > kLength.size()) {
        const std::string value(path.substr(kLength.size()));
        answer.bytes = Head(200, now, {{"Content-Length", value}}) + "0123456789";
        return answer;
    } else if (path == "/chunked") {
        answer.bytes = Head(200, now, {{"Transfer-Encoding", "chunked"}}) +
                       "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n";
        return answer;
    } else if (path == "/short") {
        answer.bytes = Head(200, now, {{"Content-Length", "100"}}) + std::string(60, 'a');
        return answer;
    } else if (path == "/zero") {
        answer.bytes = Exact(200, now, "");
        return answer;
    } else if (path == "/nul") {
        answer.bytes = Exact(200, now, std::string("abc\0def", 7));
        return answer;
    } else if (path == "/long") {
        answer.bytes = Head(200, now, {{"Content-Length", "5"}}) + "hello world";
        return answer;
    } else if (path == "/stall") {
        answer.holdOpen = std::chrono::seconds(120);
        return answer;
    } else if (path == "/slow") {
        answer.bytes = Head(200, now, {{"Content-Length", "10"}});
        answer.trickle = "0123456789";
        answer.trickleEvery = std::chrono::seconds(2);
        return answer;
    } else if (path == "/ok") {
        answer.bytes = Exact(200, now, "ok");
        return answer;
    }
    answer.bytes =
        SerializeResponse(PlainTextResponse(404, "no odd answer at " + request.path, kServer), now);
    return answer;
}

}  // namespace pgv::sandbox
