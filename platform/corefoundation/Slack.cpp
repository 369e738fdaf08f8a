#include "Slack.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct SSlackName {
    const char* name;
    unsigned slack;
};

constexpr SSlackName kSlackNames[] = {
    {"has-bytes-guess", kSlackHasBytesGuess},
    {"error-drops-bytes", kSlackErrorDropsBytes},
    {"close-returns-early", kSlackCloseReturnsEarly},
    {"mac-roman-every-byte", kSlackMacRomanEveryByte},
};

unsigned SlackNamed(const std::string& name) {
    for (const SSlackName& known : kSlackNames) {
        if (name == known.name) {
            return known.slack;
        }
    }
    std::fprintf(stderr, "CoreFoundation stand-in: PGV_CF_SLACK names no behaviour '%s'\n",
                 name.c_str());
    std::abort();
}

}  // namespace

unsigned SlackFromEnvironment() {
    const char* names = std::getenv("PGV_CF_SLACK");
    unsigned slack = 0;
    std::string name;
    for (const char* c = names == nullptr ? "" : names;; ++c) {
        if (*c != ',' && *c != '\0') {
            name += *c;
            continue;
        }
        if (!name.empty()) {
            slack |= SlackNamed(name);
        }
        name.clear();
        if (*c == '\0') {
            return slack;
        }
    }
}
