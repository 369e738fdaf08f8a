// The UTF-8 byte-order mark some servers put before a text answer. It belongs to no field: left
// on, it would stand in the first value and make a known status or name unknown.
#ifndef PAYGROVE_WIRE_BYTEORDERMARK_H
#define PAYGROVE_WIRE_BYTEORDERMARK_H

#include <string>

// `text` without one byte-order mark at its start.
void DropByteOrderMark(std::string& text);

#endif
