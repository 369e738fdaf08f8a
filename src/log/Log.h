// A plain-text diagnostic log: one line per Write, an optional time stamp, an indentation that
// callers raise and lower around nested steps. A Log that is not open accepts every call and
// writes nothing, so callers never ask whether logging is on.
#ifndef PAYGROVE_LOG_LOG_H
#define PAYGROVE_LOG_LOG_H

#include <fstream>
#include <string>

#include "log/LogMask.h"

class Log {
public:
    Log();
    ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    void SetLogFile(const char* path);
    bool Open(bool append);
    void Close();
    void Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void IncreaseIndent();
    void DecreaseIndent();
    // Every line written from now on passes through `mask`. Card numbers and track data are
    // hidden in every line, with or without a mask set.
    void SetMask(CLogMask mask);

    static bool Exists(const char* path);

    bool m_TimeStamps;

private:
    std::string m_LogFile;
    int m_Indent;
    std::ofstream m_Stream;
    bool m_IsOpen;
    CLogMask m_Mask;
};

// Raises a log's indentation for as long as it lives, so that a block left by an exception
// does not leave the indentation raised for later lines.
class CLogIndent {
public:
    explicit CLogIndent(Log& log) : m_Log(log) { m_Log.IncreaseIndent(); }
    ~CLogIndent() { m_Log.DecreaseIndent(); }
    CLogIndent(const CLogIndent&) = delete;
    CLogIndent& operator=(const CLogIndent&) = delete;

private:
    Log& m_Log;
};

// The process log, switched on at start-up by SetupLogging when "Quilla.log" lies in the folder
// that holds the plug-in.
extern Log g_Log;

void SetupLogging(const std::string& pluginFolder);

#endif
