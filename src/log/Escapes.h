// Bytes as a request, a form or a gateway's echo escapes them: "%" and two hexadecimal digits, in
// either case. The log mask reads a line's escapes both when it looks for card numbers and when
// it looks for a secret written escaped.
#ifndef PAYGROVE_LOG_ESCAPES_H
#define PAYGROVE_LOG_ESCAPES_H

#include <cstddef>
#include <string>

inline constexpr size_t kEscapeSize = 3;

// Whether an escaped byte begins at `at`.
bool IsEscapeAt(const std::string& text, size_t at);

// The byte the escape at `at` stands for; `at` must begin one.
char EscapedByte(const std::string& text, size_t at);

#endif
