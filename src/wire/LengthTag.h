// The length tag of a name=value pair, "NAME[5]=a&b=c": the value's length in bytes, written in
// the name so that the value may hold the separators. Written and read by this one rule, by the
// request, the parser and the log mask alike.
#ifndef PAYGROVE_WIRE_LENGTHTAG_H
#define PAYGROVE_WIRE_LENGTHTAG_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct SLengthTag {
    std::string_view name;  // what stands before the tag; may be empty
    size_t length;          // more than any text holds when the digits say so
};

// The tag that ends `taggedName`: "[", one or more digits, "]". Nothing when it ends otherwise.
std::optional<SLengthTag> ReadLengthTag(std::string_view taggedName);

// The tag of a value of `length` bytes, to follow its name.
std::string LengthTag(size_t length);

#endif
