// Whether a gateway's URL can be used, decided once for every platform before any backend sees it.
#ifndef PAYGROVE_TRANSPORT_URL_H
#define PAYGROVE_TRANSPORT_URL_H

#include <optional>
#include <string>

struct SUrlParts {
    std::string host;
    int port = 0;
    // Everything after host and port, query and a final "?" included; "/" when the URL has none.
    std::string target;
};

// The parts of an https URL (the scheme in any case): a host of letters, digits, dots and hyphens
// of at most 255 bytes, an optional port from 1 to 65535, a target of at most 2047 bytes, and no
// byte anywhere that a URL cannot hold (control bytes, blanks, bytes beyond ASCII, and
// " < > \ ^ ` { | }). Nothing when the text is not such a URL.
std::optional<SUrlParts> ParseHttpsUrl(const std::string& url);

#endif
