// The log scanner. Every transaction log and process log that the end-to-end tests make the
// plug-in write is read after the run that wrote it (RunHost does it), and the running test fails
// when a log shows a card number that is not masked or a secret value that the suite sent. The
// tests send real-looking secrets on purpose, so that the scanner has something to look for.
#ifndef PAYGROVE_TESTS_E2E_LOGSCAN_H
#define PAYGROVE_TESTS_E2E_LOGSCAN_H

#include <filesystem>
#include <string>
#include <vector>

// Notes the secrets a host script sends, for every later scan in the same test: in each
// PGV_SetParameters call, the value of every parameter whose name says it carries a card, a
// security code, a password, a key, track data or a bank account, every value holding track
// data, and the fields of that track data. Returns the transaction log files the script names.
std::vector<std::filesystem::path> NoteScript(const std::string& script);

// What a log's text shows that it must not, one finding a line: a run of 13 to 19 digits (single
// blanks, hyphens, %20 or + between them allowed) that passes the Luhn check; a noted secret of 6
// bytes or more anywhere, raw or URL-escaped; a shorter one as its parameter's value.
std::vector<std::string> LogLeaks(const std::string& text);

// Reads the log file, when there is one, and fails the running test on each finding.
void ScanLog(const std::filesystem::path& path);

// How many log files ScanLog has read so far.
size_t ScannedLogCount();

#endif
