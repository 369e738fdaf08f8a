// The host's native text encoding, encoding 0 of its text calls: "the platform's default", as the
// plug-in SDK has it. On Windows that is the system's ANSI code page (1252 on a Western system),
// on the Mac Mac Roman; this stand-in, built for Windows and Linux only (the Mac has the host's own
// framework), takes UTF-8 for Linux's.
#ifndef FMWRAPPER_SRC_NATIVETEXT_H
#define FMWRAPPER_SRC_NATIVETEXT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace fmwrapper {

// A byte that does not stand for a character becomes U+FFFD.
std::u16string DecodeNative(std::string_view bytes);

// Writes as many whole characters of `units` as fit in `capacity` bytes and returns the number
// of bytes written; a character the encoding lacks is written as the encoding's stand-in for it.
std::size_t EncodeNative(std::u16string_view units, char* out, std::size_t capacity);

}  // namespace fmwrapper

#endif
