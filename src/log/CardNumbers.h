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

// A value that is one card number as FindCardNumbers finds them, from its first byte to its last.
bool IsCardNumber(const std::string& value);

// A card number with every digit but the last four replaced by one X; separators stay as they
// are written, escaped ones (%20) among them.
std::string MaskCardNumber(const std::string& value);
// Where the digits are that MaskCardNumber hides in `value`, an escaped digit (%34) with its
// escape: everything else its mask shows as written.
std::vector<STextSpan> HiddenDigits(const std::string& value);

// Every card number in `text`: 13 to 19 digits passing the Luhn check, made of whole runs of
// digits joined by separators. A separator is any run of blanks, tabs, hyphens, plus signs, dots
// and non-breaking spaces (A0 in Windows-1252, CA in Mac Roman, C2 A0 in UTF-8), each also
// escaped as a request or a form writes it (%20, %2D, ...). Digits next to a run make it no card
// number. The text is read as written, where only a separator's escape is one byte, and as
// decoded, where every escape is: there an escaped byte's hexadecimal digits (%23, %e9) are no
// digits of the run beside it, and an escaped digit (%34) is one.
std::vector<STextSpan> FindCardNumbers(const std::string& text);

// `text` with every stretch of joined runs of digits that holds a card number masked whole but
// for its last four digits, so that no card number is left in it: masking leaves digits that can
// make new ones (a masked number's last four with the groups after it, digits beside a hidden
// secret), and a stretch masked whole leaves too few to make any.
std::string MaskCardNumberStretches(const std::string& text);

// Every stretch of track data in `text`: track 1 (%B, the card number, ^, the name, ^, the
// expiry and the rest) or track 2 (;, the card number, =, the expiry and the rest), sentinels
// optional, up to the end sentinel ? or, without one, to the end of the value.
std::vector<STextSpan> FindTrackData(const std::string& text);

// A value that holds track data anywhere.
bool IsTrackData(const std::string& value);

// The card numbers and track data of a text, from one reading of it: each card number that
// overlaps no other, each stretch where card numbers overlap (all of them within it), and the
// tracks. A long stretch of digits where every few make a card number is one span, not many.
struct SCardData {
    std::vector<STextSpan> cards;
    std::vector<STextSpan> overlappingCards;
    std::vector<STextSpan> tracks;
};
SCardData FindCardData(const std::string& text);

#endif
