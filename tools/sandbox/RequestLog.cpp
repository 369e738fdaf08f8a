#include "sandbox/RequestLog.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace pgv::sandbox {

std::string FormatLogEntry(std::string_view raw, bool resumed) {
    std::string entry =
        "@@ request " + std::to_string(raw.size()) + (resumed ? " resumed\n" : "\n");
    entry.append(raw);
    entry += '\n';
    return entry;
}

CRequestLog::CRequestLog(const std::string& path) : file_(std::fopen(path.c_str(), "ab")) {
    if (!file_) {
        throw std::runtime_error("cannot open the request log " + path + ": " +
                                 std::strerror(errno));
    }
}

void CRequestLog::Append(std::string_view raw, bool resumed) {
    const std::string entry = FormatLogEntry(raw, resumed);
    std::lock_guard<std::mutex> lock(mutex_);
    std::fwrite(entry.data(), 1, entry.size(), file_.get());
    std::fflush(file_.get());
}

}  // namespace pgv::sandbox
