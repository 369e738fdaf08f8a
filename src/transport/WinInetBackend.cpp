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
// No keep-alive asked for, and no existing connection: each transaction has its own.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_SECURE;
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

// The handles of one exchange, declared in the order they are opened, so that they are closed
// the other way round.
struct SHandles {
    CInternetHandle root;
    CInternetHandle connection;
    CInternetHandle request;
};

// One exchange's handles and the HttpSendRequest made on them, on a thread of its own that the
// exchange waits for no longer than its time: Wine's WinINet bounds no TLS handshake by its
// time-outs, and closing the handle does not end the call, so a handshake that stalls would hold
// FileMaker for as long as the server kept the connection open. A call still going when the time
// is up is left to end on its own; it keeps the plug-in loaded, its body and the handles until it
// does, and the last of the exchange and the thread to let go closes them: WinINet closes a
// handle's children with it and may give a closed handle's value to the next one it opens, so
// none of the three is closed while the call may still send on the request. Nothing stops the call
// from sending the request once its handshake completes, so the exchange then says the request may
// have been sent.
class CSendCall {
public:
    // A call held by the exchange alone; null when WinINet's event for it cannot be made.
    static CSendCall* Create(const std::string& body) {
        auto* call = new CSendCall(body);
        if (call->m_Done == nullptr) {
            call->Release();
            return nullptr;
        }
        return call;
    }

    SHandles& Handles() { return m_Handles; }

    // The context the request is opened with, under which WinINet reports its progress.
    DWORD_PTR Context() { return reinterpret_cast<DWORD_PTR>(this); }

    // Reports the request's progress to the call; set on the root handle before the others are
    // opened from it, which take it over.
    static void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
        // Announced just before the request is written to the connection.
        if (status == INTERNET_STATUS_SENDING_REQUEST) {
            InterlockedExchange(&reinterpret_cast<CSendCall*>(context)->m_RequestLeft, 1);
        }
    }

    // None when the request was sent and its answer's header arrived within `milliseconds`.
    EExchangeFailure SendWithin(DWORD milliseconds) {
        InterlockedIncrement(&m_References);
        // The thread lets go of the module when it ends, which may be before CreateThread has
        // returned here: the call holds the module before the thread can read it.
        const BOOL pinned =
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                               reinterpret_cast<LPCSTR>(&CSendCall::Run), &m_Module);
        const HANDLE thread =
            pinned ? CreateThread(nullptr, 0, &CSendCall::Run, this, 0, nullptr) : nullptr;
        if (thread == nullptr) {
            if (pinned) {
                FreeLibrary(m_Module);
            }
            Release();
            return Send() ? EExchangeFailure::None : EExchangeFailure::ConnectFailed;
        }
        CloseHandle(thread);
        if (WaitForSingleObject(m_Done, milliseconds) != WAIT_OBJECT_0) {
            return EExchangeFailure::NoAnswerInTime;
        }
        return InterlockedCompareExchange(&m_Sent, 0, 0) != 0 ? EExchangeFailure::None
                                                              : EExchangeFailure::ConnectFailed;
    }

    // Whether WinINet began to write the request, or still may: the call has not ended.
    bool RequestMayHaveLeft() const {
        return InterlockedCompareExchange(&m_RequestLeft, 0, 0) != 0 ||
               WaitForSingleObject(m_Done, 0) != WAIT_OBJECT_0;
    }

    // The waiting exchange and the thread each hold the call; the last to let go deletes it.
    void Release() {
        if (InterlockedDecrement(&m_References) == 0) {
            delete this;
        }
    }

private:
    explicit CSendCall(const std::string& body)
        : m_Body(body), m_Done(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~CSendCall() {
        // Closed before the rest of the call goes, since WinINet reports the closing of the
        // request under the call's context.
        m_Handles.request.reset();
        m_Handles.connection.reset();
        m_Handles.root.reset();
        if (m_Done != nullptr) {
            CloseHandle(m_Done);
        }
    }

    bool Send() {
        // WinINet takes the body through a pointer to writable memory: the call's own copy.
        const bool sent = HttpSendRequestA(m_Handles.request.get(), nullptr, 0,
                                           m_Body.empty() ? nullptr : m_Body.data(),
                                           static_cast<DWORD>(m_Body.size())) != FALSE;
        InterlockedExchange(&m_Sent, sent ? 1 : 0);
        SetEvent(m_Done);
        return sent;
    }

    static DWORD WINAPI Run(LPVOID context) {
        auto* call = static_cast<CSendCall*>(context);
        call->Send();
        const HMODULE module = call->m_Module;
        call->Release();
        FreeLibraryAndExitThread(module, 0);
    }

    std::string m_Body;
    const HANDLE m_Done;
    HMODULE m_Module = nullptr;
    LONG m_Sent = 0;
    mutable LONG m_RequestLeft = 0;
    LONG m_References = 1;
    SHandles m_Handles;
};

// Lets go of the exchange's hold on its call.
struct SCallReleaser {
    void operator()(CSendCall* call) const { call->Release(); }
};
using CSendCallHold = std::unique_ptr<CSendCall, SCallReleaser>;

class CWinInetBackend : public IHttpBackend {
public:
    bool Prepare(const SWireRequest& request, Log& log) override;
    EExchangeFailure Send() override;
    bool RequestMayHaveLeft() override;
    bool QueryStatusCode(std::string& code) override;
    bool QueryContentLength(std::string& length) override;
    bool QueryContentEncoding(std::string& encoding) override;
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
    bool StatusLineCame();
    HINTERNET Request() const { return m_Call->Handles().request.get(); }
    // Each time the answer's header came, its values joined as one list.
    bool QueryHeader(DWORD query, std::string& value);

    DWORD m_TimeoutMilliseconds = kDefaultTimeoutMilliseconds;
    // Only a time-out the caller gave bounds the whole exchange; without one, each wait is
    // bounded on its own, as on Linux.
    bool m_HasDeadline = false;
    std::chrono::steady_clock::time_point m_Deadline;

    CSendCallHold m_Call;
    SWireRequest m_Wire;
};

bool CWinInetBackend::Prepare(const SWireRequest& request, Log& /*log*/) {
    m_Wire = request;
    return true;
}

EExchangeFailure CWinInetBackend::Send() {
    m_Call.reset(CSendCall::Create(m_Wire.body));
    if (!m_Call || !Open() || !Connect() || !OpenRequest()) {
        return EExchangeFailure::ConnectFailed;
    }
    IgnoreRevocation();
    AddHeaders();
    const EExchangeFailure sent = m_Call->SendWithin(MillisecondsLeft());
    // Wine's WinINet takes a connection closed before any answer for an answer with no status
    // line, where Windows fails the send.
    return sent == EExchangeFailure::None && !StatusLineCame() ? EExchangeFailure::ConnectFailed
                                                               : sent;
}

bool CWinInetBackend::StatusLineCame() {
    DWORD status = 0;
    DWORD size = sizeof(status);
    return HttpQueryInfoA(Request(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr) &&
           status != 0;
}

bool CWinInetBackend::RequestMayHaveLeft() {
    return m_Call && m_Call->RequestMayHaveLeft();
}

bool CWinInetBackend::Open() {
    const int timeoutSeconds = m_Wire.timeoutSeconds;
    CInternetHandle& root = m_Call->Handles().root;
    root.reset(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root || InternetSetStatusCallbackA(root.get(), &CSendCall::OnStatus) ==
                     INTERNET_INVALID_STATUS_CALLBACK) {
        return false;
    }
    m_TimeoutMilliseconds = TimeoutMilliseconds(timeoutSeconds);
    m_HasDeadline = timeoutSeconds > 0;
    m_Deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_TimeoutMilliseconds);
    SetTimeouts(root.get());
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
    SHandles& handles = m_Call->Handles();
    handles.connection.reset(InternetConnectA(handles.root.get(), m_Wire.parts.host.c_str(),
                                              static_cast<INTERNET_PORT>(m_Wire.parts.port),
                                              nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!handles.connection) {
        return false;
    }
    SetTimeouts(handles.connection.get());
    return true;
}

bool CWinInetBackend::OpenRequest() {
    SHandles& handles = m_Call->Handles();
    handles.request.reset(HttpOpenRequestA(handles.connection.get(), m_Wire.method,
                                           m_Wire.parts.target.c_str(), m_Wire.version, nullptr,
                                           nullptr, kRequestFlags, m_Call->Context()));
    if (!handles.request) {
        return false;
    }
    SetTimeouts(handles.request.get());
    return true;
}

void CWinInetBackend::IgnoreRevocation() {
    DWORD flags = 0;
    DWORD size = sizeof(flags);
    if (InternetQueryOptionA(Request(), INTERNET_OPTION_SECURITY_FLAGS, &flags, &size)) {
        flags |= SECURITY_FLAG_IGNORE_REVOCATION;
        InternetSetOptionA(Request(), INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
    }
}

void CWinInetBackend::AddHeaders() {
    std::string block;
    for (const SHttpHeader& header : m_Wire.headers) {
        block += header.name + ": " + header.value + "\r\n";
    }
    HttpAddRequestHeadersA(Request(), block.c_str(), kZeroTerminated,
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
}

bool CWinInetBackend::QueryStatusCode(std::string& code) {
    char area[kStatusArea] = {};
    DWORD size = kStatusArea;
    if (!HttpQueryInfoA(Request(), HTTP_QUERY_STATUS_CODE, area, &size, nullptr)) {
        code.clear();
        return false;
    }
    code.assign(area, size);
    return true;
}

bool CWinInetBackend::QueryHeader(DWORD query, std::string& value) {
    // Asked for as text, not as a number, so that the exchange judges an odd value itself, and
    // each time the header comes, so that it sees two that disagree.
    value.clear();
    DWORD index = 0;
    for (;;) {
        std::string area(kHeaderArea, '\0');
        DWORD size = kHeaderArea;
        DWORD at = index;
        BOOL found = HttpQueryInfoA(Request(), query, area.data(), &size, &at);
        // A failure for want of room has set `size` to the room needed.
        if (!found && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            area.assign(size, '\0');
            at = index;
            found = HttpQueryInfoA(Request(), query, area.data(), &size, &at);
        }
        if (!found) {
            return index > 0;
        }
        value += (index > 0 ? ", " : "") + area.substr(0, size);
        // WinINet moves the index on to the next occurrence, or leaves it on the last one.
        if (at == index) {
            return true;
        }
        index = at;
    }
}

bool CWinInetBackend::QueryContentLength(std::string& length) {
    return QueryHeader(HTTP_QUERY_CONTENT_LENGTH, length);
}

bool CWinInetBackend::QueryContentEncoding(std::string& encoding) {
    return QueryHeader(HTTP_QUERY_CONTENT_ENCODING, encoding);
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
    InternetSetOptionA(Request(), INTERNET_OPTION_RECEIVE_TIMEOUT, &left, sizeof(left));
    DWORD available = 0;
    if (!InternetQueryDataAvailable(Request(), &available, 0, 0)) {
        return -1;
    }
    // No more than the count can report.
    const DWORD wanted = static_cast<DWORD>(
        std::min<size_t>({size, available, static_cast<size_t>(std::numeric_limits<long>::max())}));
    DWORD read = 0;
    if (!InternetReadFile(Request(), buffer, wanted, &read)) {
        return -1;
    }
    return static_cast<long>(read);
}

void CWinInetBackend::Close() {
    m_Call.reset();
}

}  // namespace

std::unique_ptr<IHttpBackend> CreateWinInetBackend() {
    return std::make_unique<CWinInetBackend>();
}

#endif
