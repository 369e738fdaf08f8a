// Byte-string helpers the plug-in and its stand-ins share. Only the ASCII letters A to Z have a
// case here: the strings are protocol names and values in the host's native encoding, whose other
// bytes are never folded.
#ifndef PAYGROVE_UTIL_TEXT_H
#define PAYGROVE_UTIL_TEXT_H

#include <string>
#include <string_view>

std::string LowerCase(std::string text);
bool EqualNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// `text` without the bytes of `around` at either end.
std::string TrimBytes(std::string_view text, std::string_view around);
// `text` without the blanks, tabs, carriage returns and line feeds around it.
std::string Trim(std::string_view text);

#endif
