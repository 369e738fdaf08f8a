#include "wire/Pairs.h"

#include <algorithm>

#include "util/Text.h"
#include "wire/LengthTag.h"

bool ReadPairs(std::string_view text, char separator, ELengthTags tags, const PairVisitor& visit) {
    size_t position = 0;
    while (position < text.size()) {
        const size_t pieceEnd = std::min(text.find(separator, position), text.size());
        // The "=" is looked for in this piece only: looked for to the text's end, every piece
        // without one would walk the rest of the text, and a long answer of such pieces would
        // hold FileMaker for minutes.
        const size_t inPiece = text.substr(position, pieceEnd - position).find('=');
        if (inPiece == std::string_view::npos) {
            position = pieceEnd + 1;
            continue;
        }
        const size_t equals = position + inPiece;
        std::string_view name = text.substr(position, inPiece);
        size_t valueEnd = pieceEnd;
        if (tags == ELengthTags::Read) {
            if (const auto tag = ReadLengthTag(name)) {
                if (tag->length > text.size() - equals - 1) {
                    return false;
                }
                valueEnd = equals + 1 + tag->length;
                if (valueEnd < text.size() && text[valueEnd] != separator) {
                    return false;
                }
                name = tag->name;
            }
        }
        visit(name, text.substr(equals + 1, valueEnd - equals - 1));
        position = valueEnd + 1;
    }
    return true;
}

size_t CountPairsNamed(std::string_view text, char separator, ELengthTags tags,
                       std::string_view name) {
    size_t count = 0;
    ReadPairs(text, separator, tags, [&](std::string_view readName, std::string_view) {
        const std::optional<SLengthTag> tag = ReadLengthTag(readName);
        count += EqualNoCase(tag ? tag->name : readName, name) ? 1 : 0;
    });
    return count;
}
