// UTF-8 <-> UTF-16 for the host's texts, which hold UTF-16 like the real host's do.
#ifndef FMWRAPPER_SRC_UTF_H
#define FMWRAPPER_SRC_UTF_H

#include <cstddef>
#include <string>
#include <string_view>

namespace fmwrapper {

// Every byte that does not belong to a well-formed UTF-8 sequence becomes one U+FFFD, so a
// garbled byte never swallows the characters after it.
std::u16string DecodeUtf8(std::string_view bytes);

// Writes as many whole characters of `units` as fit in `capacity` bytes and returns the number
// of bytes written. A surrogate pair is one character; a lone surrogate is written as U+FFFD.
std::size_t EncodeUtf8(std::u16string_view units, char* out, std::size_t capacity);

// Number of bytes EncodeUtf8 needs for all of `units`.
std::size_t Utf8Size(std::u16string_view units);

// The host side's all-or-nothing copy: writes all of `units` and a zero when that fits in `size`
// bytes, else an empty string (when there is room for the zero), and returns the number of bytes
// the text needs without the zero.
std::size_t CopyWholeUtf8(std::u16string_view units, char* buffer, std::size_t size);

}  // namespace fmwrapper

#endif
