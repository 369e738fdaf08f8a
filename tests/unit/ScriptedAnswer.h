// A scripted platform for the exchange's tests: the answer's side, the same on both lines.
#ifndef PAYGROVE_TESTS_UNIT_SCRIPTEDANSWER_H
#define PAYGROVE_TESTS_UNIT_SCRIPTEDANSWER_H

#include <algorithm>
#include <cstring>
#include <string>

#include "TestSupport.h"
#include "log/Log.h"

namespace pgvtest {

// Status, announced length and body as the test sets them, handed out at most three bytes a
// time, as a network hands them out.
template <typename TSession>
class CScriptedAnswer : public TSession {
public:
    std::string status = "200";
    bool hasLength = true;
    std::string length = "5";
    std::string body = "hello";
    long failReadAfter = -1;  // bytes after which a read fails; -1: never
    bool closed = false;

    bool QueryStatusCode(std::string& code) override {
        code = status;
        return true;
    }
    bool QueryContentLength(std::string& text) override {
        text = length;
        return hasLength;
    }
    long Read(char* buffer, size_t size) override {
        if (failReadAfter >= 0 && m_Position >= static_cast<size_t>(failReadAfter)) {
            return -1;
        }
        const size_t count = std::min({size, body.size() - m_Position, size_t{3}});
        std::memcpy(buffer, body.data() + m_Position, count);
        m_Position += count;
        return static_cast<long>(count);
    }
    void Close() override { closed = true; }

private:
    size_t m_Position = 0;
};

struct SRun {
    bool ok;
    std::string response;
    std::string log;
};

// Runs an exchange, given as `run(log, response)`, with a fresh log, and returns what it
// answered and logged.
template <typename TRun>
SRun RunLogged(TRun run) {
    CTempDir dir;
    SRun result;
    {
        Log log;
        log.SetLogFile(dir.File("exchange.log").c_str());
        log.Open(false);
        result.ok = run(log, result.response);
    }
    result.log = ReadFile(dir.File("exchange.log"));
    return result;
}

}  // namespace pgvtest

#endif
