#include "wire/Padding.h"

#include "util/Text.h"

std::string WithoutPadding(std::string_view field) {
    return TrimBytes(field, " ");
}
