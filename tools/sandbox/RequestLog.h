// Every request the sandbox receives, appended as "@@ request N\n", the N raw bytes, "\n"; the
// first line is "@@ request N resumed\n" when the request came over a resumed TLS session.
// Tests read the entries back to assert the request line, header order and body bytes, and that
// a client resumes its sessions.
#ifndef PAYGROVE_SANDBOX_REQUESTLOG_H
#define PAYGROVE_SANDBOX_REQUESTLOG_H

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace pgv::sandbox {

std::string FormatLogEntry(std::string_view raw, bool resumed = false);

class CRequestLog {
public:
    // Throws std::runtime_error when the file cannot be opened for appending.
    explicit CRequestLog(const std::string& path);

    // Safe from many threads; each entry is flushed before returning.
    void Append(std::string_view raw, bool resumed = false);

private:
    struct SCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::mutex mutex_;
    std::unique_ptr<std::FILE, SCloser> file_;
};

}  // namespace pgv::sandbox

#endif
