#include "transport/ContentLength.h"

#include "transport/HttpBackend.h"

namespace {

std::optional<unsigned long long> ParseNumber(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    unsigned long long value = 0;
    for (size_t i = first; i <= last; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > kMaxResponseBytes) {
            value = kMaxResponseBytes + 1;
        }
    }
    return value;
}

}  // namespace

std::optional<unsigned long long> ParseContentLength(const std::string& text) {
    std::optional<unsigned long long> length;
    size_t start = 0;
    for (size_t comma = text.find(',');; comma = text.find(',', start)) {
        const std::optional<unsigned long long> value =
            ParseNumber(text.substr(start, comma - start));
        if (!value || (length && *length != *value)) {
            return std::nullopt;
        }
        length = value;
        if (comma == std::string::npos) {
            return length;
        }
        start = comma + 1;
    }
}
