#ifndef PAYGROVE_GATEWAY_URLESCAPE_H
#define PAYGROVE_GATEWAY_URLESCAPE_H

#include <string>

// Escapes one parameter value for a query string or a form body: every byte that could be read
// as syntax, and every byte outside printable ASCII, becomes %XX. At most outSize - 1 input bytes
// are taken; the rest is dropped, as the gateways have always received it.
std::string URLEscape(const char* in, int outSize);

// The output size the transaction flow escapes every value with: a value is sent cut to 255 bytes.
constexpr int kEscapeOutputSize = 256;

#endif
