// fmhost's script lines: any line is parsed without a crash, and a text written by QuoteText
// reads back as itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "CallParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const fmhost::ScriptLine parsed = fmhost::ParseScriptLine(line);
    for (const std::string& arg : parsed.args) {
        const fmhost::ScriptLine again =
            fmhost::ParseScriptLine("F(" + fmhost::QuoteText(arg) + ")");
        if (again.kind != fmhost::ScriptLine::Kind::kCall || again.args.size() != 1 ||
            again.args[0] != arg) {
            std::abort();
        }
    }
    return 0;
}
