// The bytes below the blank and DEL: in a name, a header line or a URL they would end a line or
// split a field where the text does not mean to.
#ifndef PAYGROVE_WIRE_CONTROLBYTES_H
#define PAYGROVE_WIRE_CONTROLBYTES_H

#include <string_view>

bool IsControlByte(char c);
bool HoldsControlByte(std::string_view text);

#endif
