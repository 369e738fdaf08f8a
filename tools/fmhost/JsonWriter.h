// fmhost's --json output: one object per line, no spaces, so a test can compare whole lines.
#ifndef FMHOST_JSONWRITER_H
#define FMHOST_JSONWRITER_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fmhost {

// A JSON string literal of UTF-8 text: " and \ escaped, \n \r \t as such, other control
// characters as \u00XX, everything else passed through.
std::string JsonString(std::string_view utf8);

// The start-up answer, and the application kind the plug-in was started as when one is given.
std::string JsonStartup(intptr_t answer, std::optional<int> kind = std::nullopt);
// A call's line; a result that the function left unset is null.
std::string JsonCall(std::string_view function, const std::vector<std::string>& args, int32_t error,
                     const std::optional<std::string>& result);
// A registered function: its name, its prototype and the least and greatest number of parameters
// it takes (-1: any number).
std::string JsonFunction(std::string_view name, std::string_view prototype, int minArgs,
                         int maxArgs);
std::string JsonStringAnswer(int id, std::string_view text);
std::string JsonShutdown();

}  // namespace fmhost

#endif
