// Card numbers and magnetic-stripe track data as they stand in a text. The log mask looks for
// them in every line, so that one the parameters never announced (a gateway that echoes a card
// in its answer, a card typed into a description) is hidden all the same.
#ifndef PAYGROVE_LOG_CARDNUMBERS_H
#define PAYGROVE_LOG_CARDNUMBERS_H

#include <cstddef>
#include <string>
#include <vector>

struct STextSpan {
    size_t begin;
    size_t end;  // one past the last byte
};

// 13 to 19 digits, blanks or hyphens allowed between them, passing the Luhn check.
bool IsCardNumber(const std::string& value);

// A card number with every digit but the last four replaced by X; separators stay, an escaped
// blank (%20) among them.
std::string MaskCardNumber(const std::string& value);

// Every card number in `text`: a whole run of digits, or whole runs joined by single blanks,
// hyphens or blanks as a request carries them (%20, +), making 13 to 19 digits that pass the Luhn
// check. Digits next to the run make it no card number; the hexadecimal digits of an escaped
// byte (%23, %e9) next to it are no digits of it.
std::vector<STextSpan> FindCardNumbers(const std::string& text);

// Every stretch of track data in `text`: track 1 (%B, the card number, ^, the name, ^, the
// expiry and the rest) or track 2 (;, the card number, =, the expiry and the rest), sentinels
// optional, up to the end sentinel ? or, without one, to the end of the value.
std::vector<STextSpan> FindTrackData(const std::string& text);

// A value that holds track data anywhere.
bool IsTrackData(const std::string& value);

#endif
