// A fixed-width field pads its value with blanks, so a field of blanks carries nothing. Only the
// blank pads: a tab or a line end at a field's edge is the gateway's own text.
#ifndef PAYGROVE_WIRE_PADDING_H
#define PAYGROVE_WIRE_PADDING_H

#include <string>
#include <string_view>

std::string WithoutPadding(std::string_view field);

#endif
