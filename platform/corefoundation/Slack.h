// What Apple's documentation allows CoreFoundation and CFNetwork to do and the stand-in does only
// when told to, so that the Mac line is tried against each: PGV_CF_SLACK names the behaviours,
// separated by commas.
#ifndef PAYGROVE_STANDIN_SLACK_H
#define PAYGROVE_STANDIN_SLACK_H

// CFReadStreamHasBytesAvailable answers TRUE for an open stream that cannot tell without reading
// (PGV_CF_SLACK name: has-bytes-guess).
constexpr unsigned kSlackHasBytesGuess = 1;
// A stream whose transfer failed is in the error state at once, and CFReadStreamRead then gives
// -1, dropping the bytes it still held (error-drops-bytes).
constexpr unsigned kSlackErrorDropsBytes = 2;
// CFReadStreamClose returns before the stream's work has ended (close-returns-early).
constexpr unsigned kSlackCloseReturnsEarly = 4;
// CFStringCreateWithCString takes every byte in Mac Roman, which maps all 256
// (mac-roman-every-byte).
constexpr unsigned kSlackMacRomanEveryByte = 8;

// The behaviours PGV_CF_SLACK names. A name the stand-in does not know ends the process, so that
// a misspelt switch cannot leave a test trying nothing.
unsigned SlackFromEnvironment();

#endif
