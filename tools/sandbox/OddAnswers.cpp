#include "sandbox/OddAnswers.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace pgv::sandbox {

namespace {

constexpr std::string_view kServer = "paygrove-sandbox-odd";
// "compressed ok", gzipped with no name and no time stamp.
constexpr std::string_view kGzipped(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\xff\x4b\xce\xcf\x2d\x28\x4a\x2d\x2e\x4e\x4d\x51"
    "\xc8\xcf\x06\x00\xa8\xbc\x34\x78\x0d\x00\x00\x00",
    33);
constexpr std::size_t kLongHeaderBytes = 64 * 1024;
constexpr std::size_t kMegabyte = 1024 * 1024;
constexpr std::chrono::seconds kStallFor{120};
// A test card number that passes the Luhn check, and the size of an answer made of it.
constexpr std::string_view kCard = "4007000000027,";
constexpr std::size_t kCardsBytes = 2 * kMegabyte;
// The size of the answers made to cost the transaction log's mask the most.
constexpr std::size_t kMaskAnswerBytes = 200 * 1024;

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

// `head`, then `piece` again and again to at least `size` bytes.
std::string Repeated(std::string_view head, std::string_view piece, std::size_t size) {
    std::string text(head);
    while (text.size() < size) {
        text += piece;
    }
    return text;
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
        answer.holdOpen = kStallFor;
        return answer;
    } else if (path == "/close") {
        // The request read, the connection closed without a byte of an answer.
        return answer;
    } else if (path == "/reset") {
        answer.reset = true;
        return answer;
    } else if (path == "/stall/body") {
        answer.bytes = Head(200, now, {{"Content-Length", "100"}}) + std::string(10, 'a');
        answer.holdOpen = kStallFor;
        return answer;
    } else if (path == "/reset/header") {
        const std::string head = Head(200, now, {{"Content-Length", "2"}});
        answer.bytes = head.substr(0, head.size() / 2);
        answer.reset = true;
        return answer;
    } else if (path == "/reset/body") {
        answer.bytes = Head(200, now, {{"Content-Length", "100"}}) + std::string(40, 'a');
        answer.reset = true;
        return answer;
    } else if (path == "/trickle") {
        answer.bytes = Head(200, now, {{"Content-Length", "10"}});
        answer.trickle = "0123456789";
        answer.trickleEvery = std::chrono::seconds(1);
        return answer;
    } else if (path == "/continue") {
        answer.bytes = "HTTP/1.1 100 Continue\r\n\r\n" + Exact(200, now, "ok");
        return answer;
    } else if (path == "/garbage") {
        answer.bytes = "ZZZZ garbage\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
        return answer;
    } else if (path == "/garbage/code") {
        const std::string ok = Exact(200, now, "ok");
        answer.bytes = "HTTP/1.1 2OO OK" + ok.substr(ok.find("\r\n"));
        return answer;
    } else if (path == "/long-header") {
        answer.bytes = Exact(200, now, "ok", {{"X-Padding", std::string(kLongHeaderBytes, 'p')}});
        return answer;
    } else if (path == "/length-twice") {
        answer.bytes =
            Head(200, now, {{"Content-Length", "5"}, {"Content-Length", "11"}}) + "hello world";
        return answer;
    } else if (path == "/length-padded") {
        answer.bytes = Head(200, now, {{"Content-Length", "   10   "}}) + "0123456789";
        return answer;
    } else if (path == "/gzip") {
        answer.bytes = Exact(200, now, std::string(kGzipped), {{"Content-Encoding", "gzip"}});
        return answer;
    } else if (path == "/nul/megabyte") {
        answer.bytes = Exact(200, now, std::string(kMegabyte, '\0'));
        return answer;
    } else if (path == "/cards") {
        // Every card number is one more span for the transaction log's mask to hide.
        answer.bytes = Exact(200, now, Repeated("", kCard, kCardsBytes));
        return answer;
    } else if (path == "/mask/chain") {
        // A card number, then groups of digits: its last four digits and the first group make
        // another card number, whose last four make one with the next group, to the end.
        answer.bytes =
            Exact(200, now, Repeated("4111111111111111", " 100071111", kMaskAnswerBytes));
        return answer;
    } else if (path == "/mask/tracks") {
        // Where track 2 begins, again and again in one value that has no end sentinel.
        answer.bytes = Exact(200, now, Repeated("", "4111111111111111=3012;", kMaskAnswerBytes));
        return answer;
    } else if (path == "/mask/tags") {
        // A short secret's value after a length tag's "]=" again and again, where no name stands.
        answer.bytes = Exact(200, now, Repeated("", "]=123&", kMaskAnswerBytes));
        return answer;
    } else if (path == "/certificate/rotated" || path == "/certificate/original") {
        const bool rotated = path == "/certificate/rotated";
        answer.bytes = Exact(200, now, rotated ? "rotated" : "original");
        answer.certificate = rotated ? ECertificateSwitch::Rotated : ECertificateSwitch::Original;
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
