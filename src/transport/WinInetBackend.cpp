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

#include "net/DefaultWait.h"

namespace {

// The root handle's name for the plug-in.
constexpr char kAgent[] = "Tenvale";
constexpr DWORD kStatusArea = 4;
constexpr DWORD kHeaderArea = 32;
constexpr DWORD kMillisecondsPerSecond = 1000;
// Without a time-out from the caller an exchange still never waits forever.
constexpr DWORD kDefaultTimeoutMilliseconds = kDefaultWaitSeconds * kMillisecondsPerSecond;
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

// One HttpSendRequest on a thread of its own, which the exchange waits for no longer than its
// time: Wine's WinINet bounds no TLS handshake by its time-outs, and closing the handle does not
// end the call, so a handshake that stalls would hold FileMaker for as long as the server kept
// the connection open. A call still going when the time is up is left to end on its own; it keeps
// the plug-in loaded, and its body, until it does. Nothing stops it from sending the request
// once its handshake completes, so the exchange then says the request may have been sent.
class CSendCall {
public:
    // None when the request was sent and its answer's header arrived within `milliseconds`.
    static EExchangeFailure SendWithin(HINTERNET request, const std::string& body,
                                       DWORD milliseconds) {
        auto* call = new CSendCall(request, body);
        // The thread lets go of the module when it ends, which may be before CreateThread has
        // returned here: the call holds the module before the thread can read it.
        const BOOL pinned =
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                               reinterpret_cast<LPCSTR>(&CSendCall::Run), &call->m_Module);
        const HANDLE thread = pinned && call->m_Done != nullptr
                                  ? CreateThread(nullptr, 0, &CSendCall::Run, call, 0, nullptr)
                                  : nullptr;
        if (thread == nullptr) {
            if (pinned) {
                FreeLibrary(call->m_Module);
            }
            const bool sent = call->Send();
            call->Release();
            call->Release();
            return sent ? EExchangeFailure::None : EExchangeFailure::ConnectFailed;
        }
        CloseHandle(thread);
        const bool ended = WaitForSingleObject(call->m_Done, milliseconds) == WAIT_OBJECT_0;
        const bool sent = ended && InterlockedCompareExchange(&call->m_Sent, 0, 0) != 0;
        call->Release();
        if (!ended) {
            return EExchangeFailure::MayHaveBeenSent;
        }
        return sent ? EExchangeFailure::None : EExchangeFailure::ConnectFailed;
    }

private:
    CSendCall(HINTERNET request, const std::string& body)
        : m_Request(request), m_Body(body), m_Done(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~CSendCall() {
        if (m_Done != nullptr) {
            CloseHandle(m_Done);
        }
    }

    bool Send() {
        // WinINet takes the body through a pointer to writable memory: the call's own copy.
        return HttpSendRequestA(m_Request, nullptr, 0, m_Body.empty() ? nullptr : m_Body.data(),
                                static_cast<DWORD>(m_Body.size())) != FALSE;
    }

    static DWORD WINAPI Run(LPVOID context) {
        auto* call = static_cast<CSendCall*>(context);
        InterlockedExchange(&call->m_Sent, call->Send() ? 1 : 0);
        SetEvent(call->m_Done);
        const HMODULE module = call->m_Module;
        call->Release();
        FreeLibraryAndExitThread(module, 0);
    }

    // The waiting exchange and the thread each hold the call; the last to let go deletes it.
    void Release() {
        if (InterlockedDecrement(&m_References) == 0) {
            delete this;
        }
    }

    const HINTERNET m_Request;
    std::string m_Body;
    const HANDLE m_Done;
    HMODULE m_Module = nullptr;
    LONG m_Sent = 0;
    LONG m_References = 2;
};

class CWinInetBackend : public IHttpBackend {
public:
    bool Prepare(const SWireRequest& request, Log& log) override;
    EExchangeFailure Send() override;
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

EExchangeFailure CWinInetBackend::Send() {
    if (!Open() || !Connect() || !OpenRequest()) {
        return EExchangeFailure::ConnectFailed;
    }
    IgnoreRevocation();
    AddHeaders();
    return CSendCall::SendWithin(m_Request.get(), m_Wire.body, MillisecondsLeft());
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
    // Asked for as text, not as a number, so that the exchange judges an odd value itself, and
    // each time the header comes, joined as one list, so that it sees two that disagree.
    length.clear();
    DWORD index = 0;
    for (;;) {
        std::string area(kHeaderArea, '\0');
        DWORD size = kHeaderArea;
        DWORD at = index;
        BOOL found =
            HttpQueryInfoA(m_Request.get(), HTTP_QUERY_CONTENT_LENGTH, area.data(), &size, &at);
        // A failure for want of room has set `size` to the room needed.
        if (!found && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            area.assign(size, '\0');
            at = index;
            found =
                HttpQueryInfoA(m_Request.get(), HTTP_QUERY_CONTENT_LENGTH, area.data(), &size, &at);
        }
        if (!found) {
            return index > 0;
        }
        length += (index > 0 ? ", " : "") + area.substr(0, size);
        // WinINet moves the index on to the next occurrence, or leaves it on the last one.
        if (at == index) {
            return true;
        }
        index = at;
    }
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
