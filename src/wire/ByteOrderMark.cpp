#include "wire/ByteOrderMark.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

void DropByteOrderMark(std::string& text) {
    if (text.compare(0, sizeof kByteOrderMark - 1, kByteOrderMark) == 0) {
        text.erase(0, sizeof kByteOrderMark - 1);
    }
}
