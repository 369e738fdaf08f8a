// The Windows backend: WinINet, whose steps the exchange was shaped after: the root handle, the
// connection to the host, the request, its headers, then the answer as WinINet hands it out.
#include "transport/HttpBackend.h"

#ifdef _WIN32

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <limits>

namespace {

// The root handle's name for the plug-in.
constexpr char kAgent[] = "Tenvale";
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

class CWinInetBackend : public IHttpBackend {
public:
    bool Prepare(const SWireRequest& request, Log& log) override;
    bool Send() override;
    bool QueryStatusCode(std::string& code) override;
    bool QueryContentLength(std::string& length) override;
    long Read(char* buffer, size_t size) override;
    void Close() override;

private:
    bool Open();
    bool Connect();
    bool OpenRequest();
    void IgnoreRevocation();
    void AddHeaders();
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
    SWireRequest m_Wire;
};

bool CWinInetBackend::Prepare(const SWireRequest& request, Log& /*log*/) {
    m_Wire = request;
    return true;
}

bool CWinInetBackend::Send() {
    if (!Open() || !Connect() || !OpenRequest()) {
        return false;
    }
    IgnoreRevocation();
    AddHeaders();
    // WinINet takes the body through a pointer to writable memory: the request's own copy.
    std::string& body = m_Wire.body;
    return HttpSendRequestA(m_Request.get(), nullptr, 0, body.empty() ? nullptr : body.data(),
                            static_cast<DWORD>(body.size())) != FALSE;
}

bool CWinInetBackend::Open() {
    const int timeoutSeconds = m_Wire.timeoutSeconds;
    m_Root.reset(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
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

DWORD CWinInetBackend::MillisecondsLeft() const {
    if (!m_HasDeadline) {
        return m_TimeoutMilliseconds;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        m_Deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
}

void CWinInetBackend::SetTimeouts(HINTERNET handle) {
    // Windows passes time-outs set on the root handle down to the handles opened from it, Wine
    // does not: each handle gets them itself.
    DWORD timeout = m_TimeoutMilliseconds;
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionA(handle, option, &timeout, sizeof(timeout));
    }
}

bool CWinInetBackend::Connect() {
    m_Connection.reset(InternetConnectA(m_Root.get(), m_Wire.parts.host.c_str(),
                                        static_cast<INTERNET_PORT>(m_Wire.parts.port), nullptr,
                                        nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!m_Connection) {
        return false;
    }
    SetTimeouts(m_Connection.get());
    return true;
}

bool CWinInetBackend::OpenRequest() {
    m_Request.reset(HttpOpenRequestA(m_Connection.get(), m_Wire.method, m_Wire.parts.target.c_str(),
                                     m_Wire.version, nullptr, nullptr, kRequestFlags, 0));
    if (!m_Request) {
        return false;
    }
    SetTimeouts(m_Request.get());
    return true;
}

void CWinInetBackend::IgnoreRevocation() {
    DWORD flags = 0;
    DWORD size = sizeof(flags);
    if (InternetQueryOptionA(m_Request.get(), INTERNET_OPTION_SECURITY_FLAGS, &flags, &size)) {
        flags |= SECURITY_FLAG_IGNORE_REVOCATION;
        InternetSetOptionA(m_Request.get(), INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
    }
}

void CWinInetBackend::AddHeaders() {
    std::string block;
    for (const SHttpHeader& header : m_Wire.headers) {
        block += header.name + ": " + header.value + "\r\n";
    }
    HttpAddRequestHeadersA(m_Request.get(), block.c_str(), kZeroTerminated,
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
}

bool CWinInetBackend::QueryStatusCode(std::string& code) {
    char area[kStatusArea] = {};
    DWORD size = kStatusArea;
    if (!HttpQueryInfoA(m_Request.get(), HTTP_QUERY_STATUS_CODE, area, &size, nullptr)) {
        code.clear();
        return false;
    }
    code.assign(area, size);
    return true;
}

bool CWinInetBackend::QueryContentLength(std::string& length) {
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

long CWinInetBackend::Read(char* buffer, size_t size) {
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

void CWinInetBackend::Close() {
    m_Request.reset();
    m_Connection.reset();
    m_Root.reset();
}

}  // namespace

std::unique_ptr<IHttpBackend> CreateWinInetBackend() {
    return std::make_unique<CWinInetBackend>();
}

#endif
