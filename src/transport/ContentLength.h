// How a Content-Length value is read, the one rule for every backend and the exchange.
#ifndef PAYGROVE_TRANSPORT_CONTENTLENGTH_H
#define PAYGROVE_TRANSPORT_CONTENTLENGTH_H

#include <optional>
#include <string>

// A whole decimal number, blanks and tabs around it allowed; nothing for anything else. A number
// above the most an answer may hold reads as one more than that most. The header given more than
// once comes as a list, its values joined by commas: one length for all, or none when they
// disagree, since then the answer's end cannot be told.
std::optional<unsigned long long> ParseContentLength(const std::string& text);

#endif
