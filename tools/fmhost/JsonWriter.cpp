#include "JsonWriter.h"

#include <cstdio>

namespace fmhost {

std::string JsonString(std::string_view utf8) {
    std::string json = "\"";
    for (const char c : utf8) {
        switch (c) {
            case '"':
                json += "\\\"";
                break;
            case '\\':
                json += "\\\\";
                break;
            case '\n':
                json += "\\n";
                break;
            case '\r':
                json += "\\r";
                break;
            case '\t':
                json += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                    json += escape;
                } else {
                    json += c;
                }
        }
    }
    return json + "\"";
}

std::string JsonStartup(intptr_t answer, std::optional<int> kind) {
    return "{\"startup\":" + std::to_string(answer) +
           (kind ? ",\"kind\":" + std::to_string(*kind) : std::string()) + "}";
}

std::string JsonCall(std::string_view function, const std::vector<std::string>& args, int32_t error,
                     const std::optional<std::string>& result) {
    std::string json = "{\"call\":" + JsonString(function) + ",\"args\":[";
    for (std::size_t i = 0; i < args.size(); ++i) {
        json += (i > 0 ? "," : "") + JsonString(args[i]);
    }
    json += "],\"error\":" + std::to_string(error) + ",\"result\":";
    json += result ? JsonString(*result) : "null";
    return json + "}";
}

std::string JsonFunction(std::string_view name, std::string_view prototype, int minArgs,
                         int maxArgs) {
    return "{\"function\":" + JsonString(name) + ",\"prototype\":" + JsonString(prototype) +
           ",\"minArgs\":" + std::to_string(minArgs) + ",\"maxArgs\":" + std::to_string(maxArgs) +
           "}";
}

std::string JsonStringAnswer(int id, std::string_view text) {
    return "{\"string\":" + std::to_string(id) + ",\"text\":" + JsonString(text) + "}";
}

std::string JsonShutdown() {
    return "{\"shutdown\":true}";
}

}  // namespace fmhost
