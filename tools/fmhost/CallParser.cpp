#include "CallParser.h"

#include <cstdio>

namespace fmhost {
namespace {

constexpr std::string_view kPilcrow = "\xC2\xB6";
constexpr std::size_t kCodeDigits = 4;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Names are ASCII letters, digits, _ and ., or any non-ASCII character.
bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) {
    return IsNameStart(c) || IsDigit(c) || c == '.';
}

// \uXXXX: a character of the Basic Multilingual Plane other than a surrogate half.
bool ReadCodeUnit(std::string_view digits, unsigned& code) {
    if (digits.size() < kCodeDigits) {
        return false;
    }
    code = 0;
    for (std::size_t i = 0; i < kCodeDigits; ++i) {
        const char c = digits[i];
        const int value = IsDigit(c)             ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (value < 0) {
            return false;
        }
        code = code * 16 + static_cast<unsigned>(value);
    }
    return code < 0xD800 || code > 0xDFFF;
}

void AppendUtf8(unsigned code, std::string& text) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string Describe(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7F) {
        return std::string("\"") + c + "\"";
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "byte 0x%02X", byte);
    return hex;
}

class Parser {
public:
    explicit Parser(std::string_view line) : line_(line) {}

    ScriptLine Parse() {
        if (!line_.empty() && line_.back() == '\r') {
            line_.remove_suffix(1);
        }
        SkipBlanks();
        if (AtEnd() || Peek() == '#') {
            return {};
        }
        if (line_.find('\0') != std::string_view::npos) {
            return Fail("NUL byte in the line");
        }
        if (!IsNameStart(Peek())) {
            return Fail("expected a function name, found " + Describe(Peek()));
        }
        ScriptLine call;
        call.kind = ScriptLine::Kind::kCall;
        const std::size_t start = pos_;
        while (!AtEnd() && IsNameChar(Peek())) {
            ++pos_;
        }
        call.function = std::string(line_.substr(start, pos_ - start));
        SkipBlanks();
        if (AtEnd()) {
            return call;
        }
        if (Peek() != '(') {
            return Fail("unexpected " + Describe(Peek()) + " after the function name");
        }
        ++pos_;
        SkipBlanks();
        if (AtEnd()) {
            return Fail("missing \")\"");
        }
        if (Peek() == ')') {
            ++pos_;
        } else if (!ParseArguments(call.args)) {
            return Fail(error_);
        }
        SkipBlanks();
        if (!AtEnd()) {
            return Fail("unexpected " + Describe(Peek()) + " after \")\"");
        }
        return call;
    }

private:
    bool AtEnd() const { return pos_ >= line_.size(); }
    char Peek() const { return line_[pos_]; }
    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Peek())) {
            ++pos_;
        }
    }

    ScriptLine Fail(std::string message) {
        ScriptLine failed;
        failed.kind = ScriptLine::Kind::kError;
        failed.error = std::move(message);
        return failed;
    }

    bool Error(std::string message) {
        error_ = std::move(message);
        return false;
    }

    // From the first parameter up to and including the closing parenthesis.
    bool ParseArguments(std::vector<std::string>& args) {
        for (;;) {
            std::string arg;
            if (!ParseArgument(arg)) {
                return false;
            }
            args.push_back(std::move(arg));
            SkipBlanks();
            if (AtEnd()) {
                return Error("missing \")\"");
            }
            if (Peek() == ')') {
                ++pos_;
                return true;
            }
            if (Peek() != ';') {
                return Error("expected \";\" or \")\", found " + Describe(Peek()));
            }
            ++pos_;
            SkipBlanks();
        }
    }

    bool ParseArgument(std::string& arg) {
        if (AtEnd()) {
            return Error("missing a parameter at the end of the line");
        }
        if (Peek() == '"') {
            return ParseText(arg);
        }
        if (Peek() == '+' || Peek() == '-' || IsDigit(Peek())) {
            return ParseNumber(arg);
        }
        return Error("expected a parameter (a quoted text or a number), found " + Describe(Peek()));
    }

    bool ParseText(std::string& text) {
        ++pos_;
        while (!AtEnd()) {
            const std::string_view rest = line_.substr(pos_);
            if (rest[0] == '"') {
                ++pos_;
                return true;
            }
            if (rest.substr(0, kPilcrow.size()) == kPilcrow) {
                text += '\r';
                pos_ += kPilcrow.size();
            } else if (rest[0] != '\\') {
                text += rest[0];
                ++pos_;
            } else if (rest.size() < 2) {
                break;
            } else if (rest[1] == '"' || rest[1] == '\\') {
                text += rest[1];
                pos_ += 2;
            } else if (rest.substr(1, kPilcrow.size()) == kPilcrow) {
                text += kPilcrow;
                pos_ += 1 + kPilcrow.size();
            } else if (rest[1] == 'u') {
                unsigned code = 0;
                if (!ReadCodeUnit(rest.substr(2), code)) {
                    return Error("bad escape \\u in a text: four hexadecimal digits expected");
                }
                AppendUtf8(code, text);
                pos_ += 2 + kCodeDigits;
            } else {
                return Error("bad escape \\ followed by " + Describe(rest[1]) + " in a text");
            }
        }
        return Error("unterminated text");
    }

    // Optional sign, digits, optional decimal part; passed on exactly as written.
    bool ParseNumber(std::string& number) {
        const std::size_t start = pos_;
        if (Peek() == '+' || Peek() == '-') {
            ++pos_;
        }
        bool wellFormed = SkipDigits();
        if (wellFormed && !AtEnd() && Peek() == '.') {
            ++pos_;
            wellFormed = SkipDigits();
        }
        if (!wellFormed || !(AtEnd() || IsBlank(Peek()) || Peek() == ';' || Peek() == ')')) {
            std::size_t end = pos_;
            while (end < line_.size() && !IsBlank(line_[end]) && line_[end] != ';' &&
                   line_[end] != ')') {
                ++end;
            }
            return Error("bad number \"" + std::string(line_.substr(start, end - start)) + "\"");
        }
        number = std::string(line_.substr(start, pos_ - start));
        return true;
    }

    // At least one digit.
    bool SkipDigits() {
        const std::size_t start = pos_;
        while (!AtEnd() && IsDigit(Peek())) {
            ++pos_;
        }
        return pos_ > start;
    }

    std::string_view line_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

ScriptLine ParseScriptLine(std::string_view line) {
    return Parser(line).Parse();
}

std::string QuoteText(std::string_view utf8) {
    std::string quoted = "\"";
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        const char c = utf8[at];
        if (utf8.substr(at, kPilcrow.size()) == kPilcrow) {
            quoted += "\\";
            quoted += kPilcrow;
            at += kPilcrow.size() - 1;
        } else if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\r') {
            quoted += kPilcrow;
        } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

}  // namespace fmhost
