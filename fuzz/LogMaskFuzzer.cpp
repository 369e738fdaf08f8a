// The log mask's promise, as a property: after masking, no line holds a secret parameter's value
// of 6 bytes or more (raw or URL-escaped), a shorter one where it stands as its parameter's
// value, or a card number with any of the separators the mask knows, as written or decoded.
//
// Input: parameter text, a line feed, then the line to mask.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "CardNumberScan.h"
#include "gateway/AuthBase.h"
#include "gateway/CardData.h"
#include "gateway/URLEscape.h"

namespace {

void Require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool Holds(const std::string& text, const std::string& part) {
    return !part.empty() && text.find(part) != std::string::npos;
}

// A value holding a mask's own characters can be made by masking something else in the line
// ("41111111111111" with 111111 a secret logs as "4********..."), so it proves no leak there.
bool HoldsMaskCharacters(const std::string& value) {
    return value.find_first_of("X*") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t lineFeed = input.find('\n');
    const std::string parameters = input.substr(0, lineFeed);
    const std::string line = lineFeed == std::string::npos ? "" : input.substr(lineFeed + 1);

    StringMap params;
    CAuthBase::ParseParams(parameters.c_str(), params, '|', false);
    const CLogMask mask = BuildLogMask(params, nullptr);

    const std::string masked = mask.Apply(line);
    Require(!pgvfuzz::ShowsCardNumber(masked));
    for (const auto& [name, value] : params) {
        const bool secret = IsSecretParameterName(name) || IsCardNumber(value);
        if (!secret || value.empty() || HoldsMaskCharacters(value)) {
            continue;
        }
        if (value.size() >= kMinAnywhereSecret) {
            Require(!Holds(masked, value));
            Require(!Holds(mask.Apply(line + URLEscape(value.c_str(), kEscapeOutputSize)),
                           URLEscape(value.c_str(), kEscapeOutputSize)));
        }
        // As the transaction log lists the parameter, and as the request carries it.
        const std::string listed = mask.Apply(name + "=" + value);
        Require(listed.size() < value.size() + 1 ||
                listed.compare(listed.size() - value.size() - 1, std::string::npos, "=" + value) !=
                    0);
    }
    return 0;
}
