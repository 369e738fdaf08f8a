// Name=value pairs joined by a separator: the caller's parameters and the answers of the gateways
// that answer so. A piece without "=" is no pair and is passed over; the name ends at the first
// "=". One reading for the parser and for whatever counts what the parser read.
#ifndef PAYGROVE_WIRE_PAIRS_H
#define PAYGROVE_WIRE_PAIRS_H

#include <cstddef>
#include <functional>
#include <string_view>

enum class ELengthTags {
    Ignored,  // a tag is part of the name
    Read,     // a tagged value is taken by its length and the name read without its tag
};

using PairVisitor = std::function<void(std::string_view name, std::string_view value)>;

// Hands each pair of `text` to `visit`, in order. A tagged value that does not end at a separator
// or at the text's end leaves no telling where the next pair begins: false, and the text is not
// to be read.
bool ReadPairs(std::string_view text, char separator, ELengthTags tags, const PairVisitor& visit);

// How many of the pairs ReadPairs reads are named `name`, compared without case. A name that
// keeps a length tag (where tags are part of the name) counts too: "response[1]" beside
// "response" is a second status to any reader, whatever a parser stores it under.
size_t CountPairsNamed(std::string_view text, char separator, ELengthTags tags,
                       std::string_view name);

#endif
