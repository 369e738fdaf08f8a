#include "transport/Url.h"

#include <algorithm>
#include <cstring>

#include "util/Text.h"

namespace {

constexpr char kScheme[] = "https://";
constexpr int kHttpsPort = 443;
constexpr int kHighestPort = 65535;
constexpr size_t kMaxPortDigits = 5;
// The areas the Windows plug-in has always split a URL into, less their terminating zero.
constexpr size_t kMaxHostLength = 255;
constexpr size_t kMaxTargetLength = 2047;
constexpr char kNeverInUrl[] = "\"<>\\^`{|}";

bool IsUrlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > ' ' && byte < 0x7F && std::strchr(kNeverInUrl, c) == nullptr;
}

bool IsHostByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<SUrlParts> ParseHttpsUrl(const std::string& url) {
    const size_t schemeLength = std::strlen(kScheme);
    if (!StartsWithNoCase(url, kScheme) || !std::all_of(url.begin(), url.end(), IsUrlByte)) {
        return std::nullopt;
    }
    const size_t authorityEnd = std::min(url.find_first_of("/?#", schemeLength), url.size());
    const std::string authority = url.substr(schemeLength, authorityEnd - schemeLength);
    const size_t colon = authority.find(':');
    SUrlParts parts;
    parts.host = authority.substr(0, colon);
    parts.port = kHttpsPort;
    if (parts.host.empty() || parts.host.size() > kMaxHostLength ||
        !std::all_of(parts.host.begin(), parts.host.end(), IsHostByte)) {
        return std::nullopt;
    }
    if (colon != std::string::npos) {
        const std::string port = authority.substr(colon + 1);
        if (port.empty() || port.size() > kMaxPortDigits ||
            !std::all_of(port.begin(), port.end(), IsDigit)) {
            return std::nullopt;
        }
        parts.port = std::stoi(port);
        if (parts.port < 1 || parts.port > kHighestPort) {
            return std::nullopt;
        }
    }
    parts.target = url.substr(authorityEnd);
    if (parts.target.empty() || parts.target[0] != '/') {
        parts.target.insert(0, "/");
    }
    if (parts.target.size() > kMaxTargetLength) {
        return std::nullopt;
    }
    return parts;
}
