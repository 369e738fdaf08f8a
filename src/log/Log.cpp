#include "log/Log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

namespace {

constexpr int kIndentStep = 2;
constexpr char kIndentPad[] = "                    ";
constexpr int kMaxIndent = sizeof(kIndentPad) - 1;
constexpr int kOpenTries = 10;
constexpr char kTimeStampFormat[] = "%m-%d-%y %H:%M:%S : ";

// Opening a FIFO waits until something opens its other end, for as long as that takes, and a
// device is no log: only a regular file, or a path where nothing is yet, is opened as a log.
bool MayHoldLog(const std::string& path) {
    try {
        std::error_code error;
        const std::filesystem::file_type type = std::filesystem::status(path, error).type();
        return type == std::filesystem::file_type::regular ||
               type == std::filesystem::file_type::not_found;
    } catch (...) {
        // A path the library cannot read as one is left to the open, as it always was.
        return true;
    }
}

}  // namespace

Log g_Log;

Log::Log() : m_TimeStamps(false), m_Indent(0), m_IsOpen(false) {}

Log::~Log() = default;

void Log::SetLogFile(const char* path) {
    m_LogFile = path ? path : "";
}

bool Log::Open(bool append) {
    const std::ios::openmode mode = std::ios::out | (append ? std::ios::app : std::ios::trunc);
    m_IsOpen = false;
    if (!MayHoldLog(m_LogFile)) {
        return false;
    }
    // A stream that is still open refuses a second open, so every try fails then.
    for (int attempt = 0; attempt < kOpenTries && !m_IsOpen; ++attempt) {
        if (!m_Stream.is_open()) {
            m_Stream.clear();
            m_Stream.open(m_LogFile, mode);
            m_IsOpen = m_Stream.is_open();
        }
    }
    return m_IsOpen;
}

void Log::Close() {
    m_Stream.close();
    m_IsOpen = false;
}

void Log::Write(const char* format, ...) {
    if (!m_IsOpen) {
        return;
    }
    std::string line;
    if (m_TimeStamps) {
        char stamp[32] = {};
        const std::time_t now = std::time(nullptr);
        std::tm local = {};
        if (localtime_r(&now, &local) != nullptr) {
            std::strftime(stamp, sizeof(stamp), kTimeStampFormat, &local);
        }
        line += stamp;
    }
    line.append(kIndentPad, static_cast<size_t>(m_Indent));

    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
        std::vector<char> message(static_cast<size_t>(length) + 1);
        std::vsnprintf(message.data(), message.size(), format, args);
        line.append(message.data(), static_cast<size_t>(length));
    }
    va_end(args);

    m_Stream << m_Mask.Apply(line) << '\n';
    m_Stream.flush();
}

void Log::IncreaseIndent() {
    m_Indent += kIndentStep;
    if (m_Indent > kMaxIndent) {
        m_Indent = kMaxIndent;
    }
}

void Log::DecreaseIndent() {
    m_Indent -= kIndentStep;
    if (m_Indent < 0) {
        m_Indent = 0;
    }
}

void Log::SetMask(CLogMask mask) {
    m_Mask = std::move(mask);
}

bool Log::Exists(const char* path) {
    if (path == nullptr || !MayHoldLog(path)) {
        return false;
    }
    std::ifstream probe(path);
    return probe.is_open();
}
