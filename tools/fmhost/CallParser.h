// The call lines of an fmhost script, written the way a FileMaker calculation writes a call:
//   PGV_SetParameters ( "x_amount=1.00|x_card_num=4111111111111111" )
#ifndef FMHOST_CALLPARSER_H
#define FMHOST_CALLPARSER_H

#include <string>
#include <string_view>
#include <vector>

namespace fmhost {

struct ScriptLine {
    enum class Kind { kSkip, kCall, kError };
    Kind kind = Kind::kSkip;
    std::string function;           // kCall: as written
    std::vector<std::string> args;  // kCall: UTF-8, escapes resolved, numbers as written
    std::string error;              // kError: what is wrong with the line
};

// Blank lines and lines starting with # are kSkip; a trailing CR is ignored. In a quoted text,
// \" is a quote, \\ a backslash, \¶ a pilcrow, \uXXXX the character of that hexadecimal code
// (a line feed or a zero byte included), and ¶ stands for a return (CR).
ScriptLine ParseScriptLine(std::string_view line);

// The text as a quoted literal in the same notation. Control characters other than tab and CR
// appear as \u00XX, so that a result always stays on one line.
std::string QuoteText(std::string_view utf8);

}  // namespace fmhost

#endif
