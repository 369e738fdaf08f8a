// The Mac backend: CFNetwork's HTTP stream. The stream parses the answer's header as it reads,
// so Send makes the first read and keeps what it brought for Read. A read blocks until a byte
// arrives, with no time-out of its own, so the backend reads only once the stream has told it
// that a read will not block.
#include "transport/HttpBackend.h"

#ifdef PGV_HAVE_CFNETWORK

#include <CFNetwork/CFNetwork.h>
#include <CoreFoundation/CoreFoundation.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "log/Log.h"
#include "net/DefaultWait.h"

// Apple has deprecated CFNetwork's HTTP stream since macOS 10.11 in favour of NSURLSession, an
// Objective-C API; the stream still ships and is the C interface this plug-in is built on, so
// this file, and only this file, does not warn about it.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

constexpr CFIndex kFirstReadBytes = 4096;
// A stream scheduled on a run loop does its work while the loop runs, so a wait for it can end
// at a deadline; read unscheduled, it would block for as long as the gateway stalls. The mode is
// the exchange's own, so that nothing else FileMaker has scheduled on its thread runs inside a
// transaction.
constexpr char kRunLoopMode[] = "com.tenvale.paygrove.exchange";
// Without a time-out from the caller, each wait still ends: no connection, or nothing new on it,
// for this long fails the exchange, as on the other platforms.
constexpr std::chrono::seconds kDefaultWait(kDefaultWaitSeconds);
// Secure Transport's codes for a TLS handshake refused before it completed: the certificate, the
// host name, or nothing the two sides agree on. Its other codes, a connection closed or a record
// refused among them, come as well after the request went out.
constexpr SInt32 kHandshakeRefusals[] = {
    -9801,  // errSSLNegotiation
    -9807,  // errSSLXCertChainInvalid
    -9808,  // errSSLBadCert
    -9812,  // errSSLUnknownRootCert
    -9813,  // errSSLNoRootCert
    -9814,  // errSSLCertExpired
    -9815,  // errSSLCertNotYetValid
    -9824,  // errSSLPeerHandshakeFail
    -9836,  // errSSLPeerProtocolVersion
    -9843,  // errSSLHostNameMismatch
};

struct SReleaser {
    void operator()(CFTypeRef object) const { CFRelease(object); }
};
template <typename Ref>
using Owned = std::unique_ptr<std::remove_pointer_t<Ref>, SReleaser>;

Owned<CFStringRef> MakeString(const std::string& text) {
    return Owned<CFStringRef>(
        CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingMacRoman));
}

// What the stream's error proves: the name was not found, the connection was refused, or the TLS
// handshake was; in each, no byte of the request left. Any other error may have come after it did.
bool FailedBeforeTheRequest(const CFStreamError& error) {
    if (error.domain == kCFStreamErrorDomainNetDB) {
        return true;
    }
    if (error.domain == kCFStreamErrorDomainPOSIX) {
        return error.error == ECONNREFUSED;
    }
    return error.domain == kCFStreamErrorDomainSSL &&
           std::find(std::begin(kHandshakeRefusals), std::end(kHandshakeRefusals), error.error) !=
               std::end(kHandshakeRefusals);
}

bool CopyText(CFStringRef string, std::string& text) {
    char buffer[256] = {};
    if (!CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingMacRoman)) {
        return false;
    }
    text = buffer;
    return true;
}

// CFNetwork's HTTP stream takes no proxy by itself. The system's settings are asked which proxy
// serves the gateway's URL, and when the first they name is an HTTPS proxy the stream is given the
// settings, from which it takes that proxy's host and port. A proxy auto-configuration file is not
// run: CFNetwork documents no bound on the time its script takes, and the exchange must end within
// its time-out. Nor is a SOCKS proxy used. Either way the connection goes direct, and the log says
// why.
void ApplySystemProxy(CFReadStreamRef stream, CFURLRef url, Log& log) {
    const Owned<CFDictionaryRef> settings(CFNetworkCopySystemProxySettings());
    const Owned<CFArrayRef> proxies(settings ? CFNetworkCopyProxiesForURL(url, settings.get())
                                             : nullptr);
    if (!proxies || CFArrayGetCount(proxies.get()) < 1) {
        return;
    }
    const auto first = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(proxies.get(), 0));
    const auto type = static_cast<CFStringRef>(CFDictionaryGetValue(first, kCFProxyTypeKey));
    if (type == nullptr || CFEqual(type, kCFProxyTypeNone)) {
        return;
    }
    if (CFEqual(type, kCFProxyTypeHTTPS) &&
        CFReadStreamSetProperty(stream, kCFStreamPropertyHTTPProxy, settings.get())) {
        log.Write("Through the system's HTTPS proxy");
        return;
    }
    std::string name;
    CopyText(type, name);
    log.Write("System proxy %s not used; connecting directly", name.c_str());
}

class CCFNetworkBackend : public IHttpBackend {
public:
    CCFNetworkBackend() : m_Mode(MakeString(kRunLoopMode)) {}
    // The stream holds this backend as its client's context until the client is removed.
    ~CCFNetworkBackend() override { CCFNetworkBackend::Close(); }

    bool Prepare(const SWireRequest& request, Log& log) override;
    EExchangeFailure Send() override;
    bool RequestMayHaveLeft() override;
    bool QueryStatusCode(std::string& code) override;
    bool QueryContentLength(std::string& length) override;
    bool QueryContentEncoding(std::string& encoding) override;
    long Read(char* buffer, size_t size) override;
    void Close() override;

private:
    bool QueryHeader(const char* name, std::string& value);
    // Runs the exchange's mode until the stream tells of something a read will not block on:
    // bytes to read, the end, or a failure. False when the time ran out first. News of bytes
    // allows one read, and the stream tells anew of what that read left; after the end or a
    // failure no read blocks.
    bool WaitUntilReadable();
    static void OnStreamEvent(CFReadStreamRef stream, CFStreamEventType type, void* backend);

    Owned<CFStringRef> m_Mode;
    bool m_BytesToRead = false;
    bool m_Finished = false;
    bool m_HasDeadline = false;
    std::chrono::steady_clock::time_point m_Deadline;
    Owned<CFURLRef> m_Url;
    Owned<CFHTTPMessageRef> m_Request;
    Owned<CFReadStreamRef> m_Stream;
    Owned<CFHTTPMessageRef> m_Response;
    std::string m_FirstRead;
    size_t m_FirstReadPosition = 0;
    bool m_Ended = false;
    bool m_Opened = false;
};

// The Mac plug-in's steps before it opens the connection: the message, its header fields (each
// logged as it is set), its body, then the stream that carries it.
bool CCFNetworkBackend::Prepare(const SWireRequest& request, Log& log) {
    const Owned<CFStringRef> urlText = MakeString(request.url);
    m_Url.reset(urlText ? CFURLCreateWithString(kCFAllocatorDefault, urlText.get(), nullptr)
                        : nullptr);
    const Owned<CFStringRef> method = MakeString(request.method);
    if (m_Url && method) {
        const bool http10 = std::strcmp(request.version, "HTTP/1.0") == 0;
        m_Request.reset(CFHTTPMessageCreateRequest(kCFAllocatorDefault, method.get(), m_Url.get(),
                                                   http10 ? kCFHTTPVersion1_0 : kCFHTTPVersion1_1));
    }
    if (!m_Request) {
        log.Write("Error creating HTTPMessageRequest");
        return false;
    }
    for (const SHttpHeader& header : request.headers) {
        log.Write("Name=%s-Value=%s", header.name.c_str(), header.value.c_str());
        const Owned<CFStringRef> field = MakeString(header.name);
        const Owned<CFStringRef> value = MakeString(header.value);
        if (field && value) {
            CFHTTPMessageSetHeaderFieldValue(m_Request.get(), field.get(), value.get());
        }
    }
    const Owned<CFDataRef> data(CFDataCreate(kCFAllocatorDefault,
                                             reinterpret_cast<const UInt8*>(request.body.data()),
                                             static_cast<CFIndex>(request.body.size())));
    if (data) {
        CFHTTPMessageSetBody(m_Request.get(), data.get());
        m_Stream.reset(CFReadStreamCreateForHTTPRequest(kCFAllocatorDefault, m_Request.get()));
    }
    CFStreamClientContext context = {0, this, nullptr, nullptr, nullptr};
    if (!m_Stream || !m_Mode ||
        !CFReadStreamSetClient(m_Stream.get(),
                               kCFStreamEventHasBytesAvailable | kCFStreamEventEndEncountered |
                                   kCFStreamEventErrorOccurred,
                               &CCFNetworkBackend::OnStreamEvent, &context)) {
        log.Write("Error creating HTTPMessageRequest stream");
        return false;
    }
    ApplySystemProxy(m_Stream.get(), m_Url.get(), log);
    m_HasDeadline = request.timeoutSeconds > 0;
    m_Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(request.timeoutSeconds);
    CFReadStreamScheduleWithRunLoop(m_Stream.get(), CFRunLoopGetCurrent(), m_Mode.get());
    return true;
}

void CCFNetworkBackend::OnStreamEvent(CFReadStreamRef, CFStreamEventType type, void* backend) {
    auto* self = static_cast<CCFNetworkBackend*>(backend);
    self->m_BytesToRead |= type == kCFStreamEventHasBytesAvailable;
    self->m_Finished |= type == kCFStreamEventEndEncountered || type == kCFStreamEventErrorOccurred;
}

bool CCFNetworkBackend::WaitUntilReadable() {
    const auto limit = m_HasDeadline ? m_Deadline : std::chrono::steady_clock::now() + kDefaultWait;
    while (!m_BytesToRead && !m_Finished) {
        const std::chrono::duration<double> left = limit - std::chrono::steady_clock::now();
        if (left.count() <= 0 ||
            CFRunLoopRunInMode(m_Mode.get(), left.count(), true) == kCFRunLoopRunFinished) {
            return false;
        }
    }
    m_BytesToRead = false;
    return true;
}

EExchangeFailure CCFNetworkBackend::Send() {
    if (!CFReadStreamOpen(m_Stream.get())) {
        return EExchangeFailure::ConnectFailed;
    }
    m_Opened = true;
    if (!WaitUntilReadable()) {
        return EExchangeFailure::NoAnswerInTime;
    }
    m_FirstRead.assign(kFirstReadBytes, '\0');
    const CFIndex count = CFReadStreamRead(
        m_Stream.get(), reinterpret_cast<UInt8*>(&m_FirstRead[0]), kFirstReadBytes);
    if (count < 0) {
        return EExchangeFailure::ConnectFailed;
    }
    m_FirstRead.resize(static_cast<size_t>(count));
    m_Ended = count == 0;
    m_Response.reset(static_cast<CFHTTPMessageRef>(const_cast<void*>(
        CFReadStreamCopyProperty(m_Stream.get(), kCFStreamPropertyHTTPResponseHeader))));
    return m_Response ? EExchangeFailure::None : EExchangeFailure::ConnectFailed;
}

// The stream tells no count of the request's bytes (its count of them leaves the header out), so
// once it has opened only its error can show that none of them left.
bool CCFNetworkBackend::RequestMayHaveLeft() {
    return m_Opened && !FailedBeforeTheRequest(CFReadStreamGetError(m_Stream.get()));
}

bool CCFNetworkBackend::QueryStatusCode(std::string& code) {
    code = std::to_string(CFHTTPMessageGetResponseStatusCode(m_Response.get()));
    return true;
}

bool CCFNetworkBackend::QueryHeader(const char* name, std::string& value) {
    const Owned<CFStringRef> field = MakeString(name);
    const Owned<CFStringRef> text(
        field ? CFHTTPMessageCopyHeaderFieldValue(m_Response.get(), field.get()) : nullptr);
    if (!text) {
        return false;
    }
    // A value that cannot be read is there all the same, and reads as no value.
    if (!CopyText(text.get(), value)) {
        value.clear();
    }
    return true;
}

bool CCFNetworkBackend::QueryContentLength(std::string& length) {
    return QueryHeader("Content-Length", length);
}

bool CCFNetworkBackend::QueryContentEncoding(std::string& encoding) {
    return QueryHeader("Content-Encoding", encoding);
}

long CCFNetworkBackend::Read(char* buffer, size_t size) {
    if (m_FirstReadPosition < m_FirstRead.size()) {
        const size_t count = std::min(size, m_FirstRead.size() - m_FirstReadPosition);
        std::memcpy(buffer, m_FirstRead.data() + m_FirstReadPosition, count);
        m_FirstReadPosition += count;
        return static_cast<long>(count);
    }
    if (m_Ended) {
        return 0;
    }
    if (!WaitUntilReadable()) {
        return -1;
    }
    return CFReadStreamRead(m_Stream.get(), reinterpret_cast<UInt8*>(buffer),
                            static_cast<CFIndex>(size));
}

void CCFNetworkBackend::Close() {
    m_Response.reset();
    if (m_Stream) {
        // Without its client the stream has no way back to this backend, whatever of its work
        // outlasts the close.
        CFReadStreamSetClient(m_Stream.get(), kCFStreamEventNone, nullptr, nullptr);
        CFReadStreamUnscheduleFromRunLoop(m_Stream.get(), CFRunLoopGetCurrent(), m_Mode.get());
        CFReadStreamClose(m_Stream.get());
    }
    m_Stream.reset();
    m_Request.reset();
    m_Url.reset();
}

}  // namespace

std::unique_ptr<IHttpBackend> CreateCFNetworkBackend() {
    return std::make_unique<CCFNetworkBackend>();
}

#endif
