// The Windows backend of the exchange: WinINet, whose steps the exchange algorithm was shaped
// after, so each operation is one WinINet call.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <limits>

#include "transport/HttpSession.h"

namespace {

constexpr DWORD kSchemeArea = INTERNET_MAX_SCHEME_LENGTH;
constexpr DWORD kHostArea = 256;
constexpr DWORD kPathArea = 2048;
constexpr DWORD kStatusArea = 4;
constexpr DWORD kHeaderArea = 32;
// Without a time-out from the caller an exchange still never waits forever.
constexpr DWORD kDefaultTimeoutMilliseconds = 60 * 1000;
constexpr DWORD kMillisecondsPerSecond = 1000;
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT |
                                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                INTERNET_FLAG_SECURE;
// WinINet's length of a header block that ends at its zero byte.
constexpr DWORD kZeroTerminated = static_cast<DWORD>(-1L);

struct SInternetDeleter {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using CInternetHandle = std::unique_ptr<void, SInternetDeleter>;

DWORD TimeoutMilliseconds(int timeoutSeconds) {
    if (timeoutSeconds <= 0) {
        return kDefaultTimeoutMilliseconds;
    }
    const unsigned long long milliseconds =
        static_cast<unsigned long long>(timeoutSeconds) * kMillisecondsPerSecond;
    return static_cast<DWORD>(
        std::min<unsigned long long>(milliseconds, std::numeric_limits<DWORD>::max()));
}

class CWinInetHttpSession : public CHttpSession {
public:
    bool CrackUrl(const std::string& url, SUrlParts& parts) override;
    bool Open(const char* agent, int timeoutSeconds) override;
    bool Connect(const std::string& host, int port) override;
    bool OpenRequest(const char* method, const std::string& target, const char* version) override;
    void IgnoreRevocation() override;
    void AddHeaders(const std::string& block) override;
    bool Send(const std::string& body) override;
    bool QueryStatusCode(std::string& code) override;
    bool QueryContentLength(std::string& length) override;
    long Read(char* buffer, size_t size) override;
    void Close() override;

private:
    void SetTimeouts(HINTERNET handle);
    DWORD MillisecondsLeft() const;

    DWORD m_TimeoutMilliseconds = kDefaultTimeoutMilliseconds;
    // Only a time-out the caller gave bounds the whole exchange; without one, each wait is
    // bounded on its own, as on Linux.
    bool m_HasDeadline = false;
    std::chrono::steady_clock::time_point m_Deadline;

    // Declared in the order they are opened, so that they are closed the other way round.
    CInternetHandle m_Root;
    CInternetHandle m_Connection;
    CInternetHandle m_Request;
    std::string m_Body;
};

bool CWinInetHttpSession::CrackUrl(const std::string& url, SUrlParts& parts) {
    char scheme[kSchemeArea] = {};
    char host[kHostArea] = {};
    char path[kPathArea] = {};
    char extra[kPathArea] = {};
    URL_COMPONENTSA components = {};
    components.dwStructSize = sizeof(components);
    components.lpszScheme = scheme;
    components.dwSchemeLength = kSchemeArea;
    components.lpszHostName = host;
    components.dwHostNameLength = kHostArea;
    components.lpszUrlPath = path;
    components.dwUrlPathLength = kPathArea;
    components.lpszExtraInfo = extra;
    components.dwExtraInfoLength = kPathArea;
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &components)) {
        return false;
    }
    parts.scheme.assign(scheme, components.dwSchemeLength);
    parts.host.assign(host, components.dwHostNameLength);
    parts.port = components.nPort;
    // The query and the fragment come apart from the path; the target carries both again.
    parts.path.assign(path, components.dwUrlPathLength);
    parts.path.append(extra, components.dwExtraInfoLength);
    if (parts.path.empty() || parts.path[0] != '/') {
        parts.path.insert(0, "/");
    }
    return parts.path.size() < kPathArea;
}

bool CWinInetHttpSession::Open(const char* agent, int timeoutSeconds) {
    m_Root.reset(InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!m_Root) {
        return false;
    }
    m_TimeoutMilliseconds = TimeoutMilliseconds(timeoutSeconds);
    m_HasDeadline = timeoutSeconds > 0;
    m_Deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_TimeoutMilliseconds);
    SetTimeouts(m_Root.get());
    return true;
}

DWORD CWinInetHttpSession::MillisecondsLeft() const {
    if (!m_HasDeadline) {
        return m_TimeoutMilliseconds;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        m_Deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
}

void CWinInetHttpSession::SetTimeouts(HINTERNET handle) {
    // Windows passes time-outs set on the root handle down to the handles opened from it, Wine
    // does not: each handle gets them itself.
    DWORD timeout = m_TimeoutMilliseconds;
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionA(handle, option, &timeout, sizeof(timeout));
    }
}

bool CWinInetHttpSession::Connect(const std::string& host, int port) {
    m_Connection.reset(InternetConnectA(m_Root.get(), host.c_str(),
                                        static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                        INTERNET_SERVICE_HTTP, 0, 0));
    if (!m_Connection) {
        return false;
    }
    SetTimeouts(m_Connection.get());
    return true;
}

bool CWinInetHttpSession::OpenRequest(const char* method, const std::string& target,
                                      const char* version) {
    m_Request.reset(HttpOpenRequestA(m_Connection.get(), method, target.c_str(), version, nullptr,
                                     nullptr, kRequestFlags, 0));
    if (!m_Request) {
        return false;
    }
    SetTimeouts(m_Request.get());
    return true;
}

void CWinInetHttpSession::IgnoreRevocation() {
    DWORD flags = 0;
    DWORD size = sizeof(flags);
    if (InternetQueryOptionA(m_Request.get(), INTERNET_OPTION_SECURITY_FLAGS, &flags, &size)) {
        flags |= SECURITY_FLAG_IGNORE_REVOCATION;
        InternetSetOptionA(m_Request.get(), INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
    }
}

void CWinInetHttpSession::AddHeaders(const std::string& block) {
    HttpAddRequestHeadersA(m_Request.get(), block.c_str(), kZeroTerminated,
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
}

bool CWinInetHttpSession::Send(const std::string& body) {
    // WinINet takes the body through a pointer to writable memory, so it gets a copy of its own.
    m_Body = body;
    return HttpSendRequestA(m_Request.get(), nullptr, 0, m_Body.empty() ? nullptr : m_Body.data(),
                            static_cast<DWORD>(m_Body.size())) != FALSE;
}

bool CWinInetHttpSession::QueryStatusCode(std::string& code) {
    char area[kStatusArea] = {};
    DWORD size = kStatusArea;
    if (!HttpQueryInfoA(m_Request.get(), HTTP_QUERY_STATUS_CODE, area, &size, nullptr)) {
        code.clear();
        return false;
    }
    code.assign(area, size);
    return true;
}

bool CWinInetHttpSession::QueryContentLength(std::string& length) {
    // Asked for as text, not as a number, so that the exchange judges an odd value itself.
    std::string area(kHeaderArea, '\0');
    DWORD size = kHeaderArea;
    if (!HttpQueryInfoA(m_Request.get(), HTTP_QUERY_CONTENT_LENGTH, area.data(), &size, nullptr)) {
        // A failure for want of room has set `size` to the room needed.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return false;
        }
        area.assign(size, '\0');
        if (!HttpQueryInfoA(m_Request.get(), HTTP_QUERY_CONTENT_LENGTH, area.data(), &size,
                            nullptr)) {
            return false;
        }
    }
    length.assign(area.data(), size);
    return true;
}

long CWinInetHttpSession::Read(char* buffer, size_t size) {
    // WinINet's receive time-out bounds each wait for data, not the exchange: an answer that
    // trickles in would hold the exchange for as long as it trickles. So each wait gets what is
    // left of the exchange's time, and only what has arrived is read, since InternetReadFile
    // would wait again and again until `size` bytes are there.
    DWORD left = MillisecondsLeft();
    if (left == 0) {
        return -1;
    }
    InternetSetOptionA(m_Request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &left, sizeof(left));
    DWORD available = 0;
    if (!InternetQueryDataAvailable(m_Request.get(), &available, 0, 0)) {
        return -1;
    }
    // No more than the count can report.
    const DWORD wanted = static_cast<DWORD>(
        std::min<size_t>({size, available, static_cast<size_t>(std::numeric_limits<long>::max())}));
    DWORD read = 0;
    if (!InternetReadFile(m_Request.get(), buffer, wanted, &read)) {
        return -1;
    }
    return static_cast<long>(read);
}

void CWinInetHttpSession::Close() {
    m_Request.reset();
    m_Connection.reset();
    m_Root.reset();
}

}  // namespace

std::unique_ptr<CHttpSession> CreateHttpSession() {
    return std::make_unique<CWinInetHttpSession>();
}
