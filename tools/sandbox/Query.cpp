#include "sandbox/Query.h"

#include <cctype>
#include <cstdio>

#include "sandbox/Http.h"

namespace pgv::sandbox {

namespace {

bool IsAllowedRaw(unsigned char c, EPlus plus) {
    if (std::isalnum(c)) {
        return true;
    }
    if (c == '+') {
        return plus == EPlus::Blank;
    }
    static constexpr std::string_view kMarks = "-._~!'()*/:%=&";
    return kMarks.find(static_cast<char>(c)) != std::string_view::npos;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Describe(unsigned char c) {
    char text[24];
    if (c > 0x20 && c < 0x7F) {
        std::snprintf(text, sizeof text, "0x%02X ('%c')", c, c);
    } else {
        std::snprintf(text, sizeof text, "0x%02X", c);
    }
    return text;
}

std::string Decode(std::string_view raw, EPlus plus) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '%') {
            out += static_cast<char>(HexValue(raw[i + 1]) * 16 + HexValue(raw[i + 2]));
            i += 2;
        } else if (raw[i] == '+' && plus == EPlus::Blank) {
            out += ' ';
        } else {
            out += raw[i];
        }
    }
    return out;
}

bool IsFormBody(const SHttpRequest& request) {
    const std::string type = request.Header("Content-Type").value_or("");
    std::string_view media = std::string_view(type).substr(0, type.find(';'));
    while (!media.empty() && media.back() == ' ') {
        media.remove_suffix(1);
    }
    return EqualsIgnoreCase(media, "application/x-www-form-urlencoded");
}

}  // namespace

std::optional<std::string> FindEncodingProblem(std::string_view raw, EPlus plus) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto c = static_cast<unsigned char>(raw[i]);
        if (!IsAllowedRaw(c, plus)) {
            return "the byte " + Describe(c) + " at offset " + std::to_string(i) +
                   " must be percent-encoded";
        }
        if (c == '%' &&
            (i + 2 >= raw.size() || HexValue(raw[i + 1]) < 0 || HexValue(raw[i + 2]) < 0)) {
            return "malformed percent escape at offset " + std::to_string(i);
        }
    }
    return std::nullopt;
}

SDecodedQuery DecodeQuery(std::string_view raw, EPlus plus) {
    SDecodedQuery result;
    if (auto problem = FindEncodingProblem(raw, plus)) {
        result.error = *problem;
        return result;
    }
    std::size_t start = 0;
    while (start < raw.size()) {
        const std::size_t end = std::min(raw.find('&', start), raw.size());
        const std::string_view pair = raw.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (pair.empty()) {
            result.error = "empty parameter at offset " + std::to_string(start);
            return result;
        }
        if (equals == std::string_view::npos) {
            result.error = "parameter \"" + std::string(pair) + "\" has no '='";
            return result;
        }
        if (equals == 0) {
            result.error = "parameter at offset " + std::to_string(start) + " has no name";
            return result;
        }
        result.params.emplace_back(Decode(pair.substr(0, equals), plus),
                                   Decode(pair.substr(equals + 1), plus));
        start = end + 1;
        if (end + 1 == raw.size()) {
            result.error = "the query ends in '&'";
            return result;
        }
    }
    result.ok = true;
    return result;
}

SDecodedQuery DecodeRequestParams(const SHttpRequest& request) {
    SDecodedQuery decoded = DecodeQuery(request.query, EPlus::Forbidden);
    if (!decoded.ok) {
        decoded.error = "query: " + decoded.error;
        return decoded;
    }
    if (request.method == "POST" && IsFormBody(request)) {
        SDecodedQuery form = DecodeQuery(request.body, EPlus::Blank);
        if (!form.ok) {
            form.error = "body: " + form.error;
            return form;
        }
        decoded.params.insert(decoded.params.end(), form.params.begin(), form.params.end());
    }
    return decoded;
}

std::optional<std::string_view> CParams::Find(std::string_view name) const {
    for (const auto& [key, value] : params_) {
        if (EqualsIgnoreCase(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

std::string CParams::Value(std::string_view name) const {
    return std::string(Find(name).value_or(std::string_view{}));
}

}  // namespace pgv::sandbox
