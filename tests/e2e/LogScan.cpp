#include "LogScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>

#include "CallParser.h"
#include "Support.h"

namespace {

// The scanner's own idea of a secret's name, as an assessor would read the parameters; it does
// not ask the plug-in.
constexpr const char* kSecretNameParts[] = {
    "card_num", "cardnumber", "card_no", "ccnumber", "acct",        "cvv",
    "cv2",      "card_code",  "pwd",     "password", "key",         "track",
    "swipe",    "routing",    "ssn",     "checkaba", "checkaccount"};
constexpr size_t kMinAnywhereSecret = 6;
constexpr size_t kMinCardDigits = 13;
constexpr size_t kMaxCardDigits = 19;
constexpr std::string_view kNameBoundaries = " \t&|,?;=";
constexpr std::string_view kValueEnds = "&,|";
constexpr char kLogParameter[] = "WIM_Log";

// The secrets the running test has sent. Every host run is a process of its own, so a log can
// hold only what the runs of its own test handed the plug-in; a secret of one test may well be
// a plain value of another (a password "secpay" is also the gateway's host name).
std::set<std::pair<std::string, std::string>>& Secrets() {
    static std::set<std::pair<std::string, std::string>> secrets;
    static std::string owner;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string current =
        test == nullptr ? std::string() : std::string(test->test_suite_name()) + "." + test->name();
    if (current != owner) {
        secrets.clear();
        owner = current;
    }
    return secrets;
}

size_t& ScannedLogs() {
    static size_t count = 0;
    return count;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool IsSecretName(const std::string& name) {
    const std::string lower = Lower(name);
    return std::any_of(std::begin(kSecretNameParts), std::end(kSecretNameParts),
                       [&](const char* part) { return lower.find(part) != std::string::npos; });
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Somewhere in the value, B and 13 to 19 digits and ^ (track 1), or 13 to 19 digits, = and four
// digits (track 2).
bool IsTrackData(const std::string& value) {
    for (size_t at = 0; at < value.size(); ++at) {
        if (!IsDigit(value[at]) || (at > 0 && IsDigit(value[at - 1]))) {
            continue;
        }
        size_t end = at;
        while (end < value.size() && IsDigit(value[end])) {
            ++end;
        }
        if (end - at < kMinCardDigits || end - at > kMaxCardDigits || end == value.size()) {
            continue;
        }
        const bool track1 =
            at > 0 && (value[at - 1] == 'B' || value[at - 1] == 'b') && value[end] == '^';
        const bool track2 = value[end] == '=' && value.size() - end > 4 &&
                            std::all_of(value.begin() + end + 1, value.begin() + end + 5, IsDigit);
        if (track1 || track2) {
            return true;
        }
    }
    return false;
}

// The way a query or form carries the text: letters, digits and !'()*-./:_~ stay.
std::string Escaped(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) ||
            std::string_view("!'()*-./:_~").find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

void NoteSecret(const std::string& name, const std::string& value) {
    if (!value.empty()) {
        Secrets().insert({name, value});
    }
}

void NoteParameters(const std::string& text) {
    std::istringstream segments(text);
    for (std::string segment; std::getline(segments, segment, '|');) {
        const size_t equals = segment.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string name = segment.substr(0, equals);
        const std::string value = segment.substr(equals + 1);
        if (IsTrackData(value)) {
            // Cut short, a track still gives away the holder's name and its discretionary data.
            std::string field;
            for (char c : value + '?') {
                if (std::string_view("%;=^?").find(c) == std::string_view::npos) {
                    field += c;
                } else if (!field.empty()) {
                    if (field.size() >= kMinAnywhereSecret) {
                        NoteSecret(name, field);
                    }
                    field.clear();
                }
            }
        } else if (!IsSecretName(name)) {
            continue;
        }
        NoteSecret(name, value);
    }
}

bool PassesLuhn(const std::string& digits) {
    int sum = 0;
    for (size_t i = 0; i < digits.size(); ++i) {
        int digit = digits[digits.size() - 1 - i] - '0';
        if (i % 2 == 1) {
            digit = digit * 2 > 9 ? digit * 2 - 9 : digit * 2;
        }
        sum += digit;
    }
    return sum % 10 == 0;
}

int HexValue(char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// What may stand between a card number's groups: blank, tab, hyphen, plus sign, dot, and the
// non-breaking spaces of Windows-1252 and Mac Roman (UTF-8's is C2 and then Windows-1252's).
bool IsCardSeparator(unsigned char c) {
    return std::string_view(" \t-+.\xA0\xCA").find(static_cast<char>(c)) != std::string_view::npos;
}

// The line as a reader of card numbers sees it: each digit as itself, each separator as a blank,
// anything else as '#'. Decoded, every %XX is the byte it stands for; as written, only the
// escape of a separator is.
std::string CardView(const std::string& line, bool decoded) {
    std::string bytes;
    for (size_t at = 0; at < line.size();) {
        if (line[at] == '%' && at + 2 < line.size() && HexValue(line[at + 1]) >= 0 &&
            HexValue(line[at + 2]) >= 0) {
            const auto byte =
                static_cast<char>(HexValue(line[at + 1]) * 16 + HexValue(line[at + 2]));
            if (decoded || IsCardSeparator(static_cast<unsigned char>(byte))) {
                bytes += byte;
                at += 3;
                continue;
            }
        }
        bytes += line[at++];
    }
    std::string view;
    for (size_t at = 0; at < bytes.size(); ++at) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const bool utf8Space = byte == 0xC2 && at + 1 < bytes.size() &&
                               static_cast<unsigned char>(bytes[at + 1]) == 0xA0;
        view += IsDigit(bytes[at]) ? bytes[at] : IsCardSeparator(byte) || utf8Space ? ' ' : '#';
    }
    return view;
}

// Runs of digits joined by runs of separators, as written and decoded: the digits of every
// stretch of whole runs that makes 13 to 19 digits and passes the Luhn check.
std::set<std::string> CardNumbers(const std::string& line) {
    std::set<std::string> cards;
    for (const bool decoded : {false, true}) {
        const std::string view = CardView(line, decoded);
        for (size_t first = 0; first < view.size(); ++first) {
            if (!IsDigit(view[first]) || (first > 0 && IsDigit(view[first - 1]))) {
                continue;
            }
            std::string digits;
            for (size_t at = first; at < view.size() && digits.size() <= kMaxCardDigits; ++at) {
                if (view[at] == ' ') {
                    continue;
                }
                if (!IsDigit(view[at])) {
                    break;
                }
                digits += view[at];
                const bool runEnds = at + 1 == view.size() || !IsDigit(view[at + 1]);
                if (runEnds && digits.size() >= kMinCardDigits && digits.size() <= kMaxCardDigits &&
                    PassesLuhn(digits)) {
                    cards.insert(digits);
                }
            }
        }
    }
    return cards;
}

bool NameStandsBefore(const std::string& line, size_t end, const std::string& name) {
    if (end < name.size() || line.compare(end - name.size(), name.size(), name) != 0) {
        return false;
    }
    const size_t start = end - name.size();
    return start == 0 || kNameBoundaries.find(line[start - 1]) != std::string_view::npos;
}

// `value` as the value of `name` somewhere in the line: name=value or name[n]=value.
bool StandsAsValue(const std::string& line, const std::string& name, const std::string& value) {
    for (size_t at = line.find(value); at != std::string::npos; at = line.find(value, at + 1)) {
        const size_t end = at + value.size();
        if (at == 0 || line[at - 1] != '=' ||
            (end < line.size() && kValueEnds.find(line[end]) == std::string_view::npos)) {
            continue;
        }
        size_t nameEnd = at - 1;
        if (NameStandsBefore(line, nameEnd, name)) {
            return true;
        }
        // A tag holds digits only: looked for back over them alone, a long line of "]=" is not
        // read back to its start at each.
        if (nameEnd > 0 && line[nameEnd - 1] == ']') {
            size_t open = nameEnd - 1;
            while (open > 0 && IsDigit(line[open - 1])) {
                --open;
            }
            if (open > 0 && open + 1 < nameEnd && line[open - 1] == '[' &&
                NameStandsBefore(line, open - 1, name)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::vector<std::filesystem::path> NoteScript(const std::string& script) {
    std::vector<std::filesystem::path> logs;
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);) {
        const fmhost::ScriptLine call = fmhost::ParseScriptLine(line);
        if (call.kind != fmhost::ScriptLine::Kind::kCall || call.function != "PGV_SetParameters" ||
            call.args.empty()) {
            continue;
        }
        // The plug-in reads the host's text up to a zero byte, as the host hands it over.
        const std::string text = call.args[0].substr(0, call.args[0].find('\0'));
        NoteParameters(text);
        std::istringstream segments(text);
        for (std::string segment; std::getline(segments, segment, '|');) {
            if (segment.compare(0, std::strlen(kLogParameter) + 1,
                                std::string(kLogParameter) + "=") == 0) {
                logs.emplace_back(segment.substr(std::strlen(kLogParameter) + 1));
            }
        }
    }
    return logs;
}

std::vector<std::string> LogLeaks(const std::string& text) {
    std::vector<std::string> findings;
    std::istringstream lines(text);
    size_t number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string where = "line " + std::to_string(number) + ": ";
        for (const std::string& card : CardNumbers(line)) {
            findings.push_back(where + "card number " + card);
        }
        for (const auto& [name, value] : Secrets()) {
            for (const std::string& shown : {value, Escaped(value)}) {
                const bool found = value.size() >= kMinAnywhereSecret
                                       ? line.find(shown) != std::string::npos
                                       : StandsAsValue(line, name, shown) ||
                                             StandsAsValue(line, Escaped(name), shown);
                if (found) {
                    findings.push_back(where + "the secret " + shown + " of " + name);
                    break;
                }
            }
        }
    }
    return findings;
}

void ScanLog(const std::filesystem::path& path) {
    if (!std::filesystem::exists(path)) {
        return;
    }
    ++ScannedLogs();
    for (const std::string& finding : LogLeaks(ReadFile(path))) {
        ADD_FAILURE() << path.string() << ", " << finding;
    }
}

size_t ScannedLogCount() {
    return ScannedLogs();
}
