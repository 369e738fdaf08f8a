// What the stand-in was asked of the system's proxy settings, and what it answered: a line for
// each call, appended to the file PGV_CF_RECORD names, for a test to read. Without the variable
// nothing is kept.
#ifndef PAYGROVE_STANDIN_RECORD_H
#define PAYGROVE_STANDIN_RECORD_H

#include <string>

void RecordCall(const std::string& line);

#endif
