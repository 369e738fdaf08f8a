// The stand-in's objects: each is reference counted the CoreFoundation way and freed by the last
// CFRelease. The HTTP stream runs libcurl on a worker thread that feeds a bounded buffer, so a
// read returns what has arrived so far, as a socket-backed stream does.
#include <CFNetwork/CFNetwork.h>
#include <CoreFoundation/CoreFoundation.h>
#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "curl/CurlRequest.h"
#include "util/Text.h"

// The stand-in implements the calls Apple has deprecated, as well as declaring them so.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

struct CFRuntimeBase {
    explicit CFRuntimeBase(bool immortal = false) : m_Immortal(immortal) {}
    virtual ~CFRuntimeBase() = default;
    CFRuntimeBase(const CFRuntimeBase&) = delete;
    CFRuntimeBase& operator=(const CFRuntimeBase&) = delete;

    std::atomic<long> m_References{1};
    const bool m_Immortal;
};

struct __CFString : CFRuntimeBase {
    explicit __CFString(std::string text, bool immortal = false)
        : CFRuntimeBase(immortal), m_Text(std::move(text)) {}
    const std::string m_Text;
};

struct __CFURL : CFRuntimeBase {
    explicit __CFURL(std::string text) : m_Text(std::move(text)) {}
    const std::string m_Text;
};

struct __CFData : CFRuntimeBase {
    explicit __CFData(std::string bytes) : m_Bytes(std::move(bytes)) {}
    const std::string m_Bytes;
};

struct __CFBundle : CFRuntimeBase {
    explicit __CFBundle(std::string url) : m_Url(std::move(url)) {}
    const std::string m_Url;
};

struct __CFHTTPMessage : CFRuntimeBase {
    std::string m_Method;
    std::string m_Url;
    std::string m_Version;
    HeaderFields m_Fields;
    std::string m_Body;
    long m_Status = 0;
};

namespace {

// The constants are objects no CFRelease frees, as Apple's are.
const __CFString kVersion10("HTTP/1.0", true);
const __CFString kVersion11("HTTP/1.1", true);
const __CFString kResponseHeader("kCFStreamPropertyHTTPResponseHeader", true);

// What one stream may hold unread: enough for a gateway's answer to arrive in a few reads, small
// enough that a reader that stops reading stops the transfer.
constexpr size_t kBufferBytes = 16 * 1024;
// Longer than any run a caller asks for in earnest, short enough not to overflow the clock.
constexpr CFTimeInterval kLongestRun = 365.0 * 24 * 60 * 60;

// libcurl's failures in the domains CFNetwork reports them in; the rest in the custom domain,
// the libcurl code as the error.
CFStreamError StreamError(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return {kCFStreamErrorDomainNetDB, 8};  // EAI_NONAME
        case CURLE_COULDNT_CONNECT:
            return {kCFStreamErrorDomainPOSIX, ECONNREFUSED};
        case CURLE_OPERATION_TIMEDOUT:
            return {kCFStreamErrorDomainPOSIX, ETIMEDOUT};
        case CURLE_PEER_FAILED_VERIFICATION:
            return {kCFStreamErrorDomainSSL, -9807};  // errSSLXCertChainInvalid
        case CURLE_SSL_CONNECT_ERROR:
            return {kCFStreamErrorDomainSSL, -9806};  // errSSLClosedAbort
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
            return {kCFStreamErrorDomainPOSIX, ECONNRESET};
        default:
            return {kCFStreamErrorDomainCustom, static_cast<SInt32>(code)};
    }
}

}  // namespace

struct __CFRunLoop : CFRuntimeBase {
    __CFRunLoop() : CFRuntimeBase(true) {}

    std::condition_variable m_Wake;
    // The streams scheduled on this loop, each with its mode.
    std::vector<std::pair<__CFReadStream*, std::string>> m_Sources;
};

namespace {

// One lock for every stream and run loop: a stream's worker thread and the thread that runs a
// run loop both touch the two, and a single lock cannot be taken in two orders.
std::mutex& StreamLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

struct __CFReadStream : CFRuntimeBase {
    explicit __CFReadStream(const __CFHTTPMessage& request)
        : m_Method(request.m_Method),
          m_Url(request.m_Url),
          m_Version(request.m_Version),
          m_Fields(request.m_Fields),
          m_Body(request.m_Body) {}
    ~__CFReadStream() override {
        Stop();
        std::lock_guard<std::mutex> lock(StreamLock());
        Unschedule();
    }

    bool Open();
    CFIndex Read(UInt8* buffer, CFIndex length);
    void Stop();
    CFStreamStatus Status() const;
    // Tells whoever waits that the stream has news: a reader, and the run loop it is scheduled on.
    void Notify();
    void Unschedule();

    const std::string m_Method;
    const std::string m_Url;
    const std::string m_Version;
    const HeaderFields m_Fields;
    const std::string m_Body;

    // All below under StreamLock().
    std::condition_variable m_Changed;
    bool m_Opened = false;
    bool m_Closed = false;
    bool m_Cancelled = false;
    bool m_Done = false;
    bool m_HeaderComplete = false;
    // CFNetwork parses the answer's header as it processes the stream, not before.
    bool m_HeaderParsed = false;
    CURLcode m_Result = CURLE_OK;
    long m_Status = 0;
    HeaderFields m_ResponseFields;
    std::string m_Pending;
    CFStreamError m_Error{0, 0};
    __CFRunLoop* m_RunLoop = nullptr;
    // News the run loop has not yet handled as a source.
    bool m_Signalled = false;
    std::thread m_Worker;

private:
    void Run(CurlEasy curl, CurlSlist headers);
    static size_t OnHeader(char* data, size_t size, size_t count, void* stream);
    static size_t OnBody(char* data, size_t size, size_t count, void* stream);
    static int OnProgress(void* stream, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
};

bool __CFReadStream::Open() {
    CurlEasy curl = NewRequestHandle(m_Method, m_Version, m_Body, 0);
    CurlSlist list = HeaderList(m_Fields);
    if (!curl || !list) {
        return false;
    }
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, m_Url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, list.get());
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &__CFReadStream::OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &__CFReadStream::OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &__CFReadStream::OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    m_Opened = true;
    m_Worker = std::thread(&__CFReadStream::Run, this, std::move(curl), std::move(list));
    return true;
}

// The header list is only handed over to be kept alive: libcurl reads it until the transfer ends.
void __CFReadStream::Run(CurlEasy curl, CurlSlist /*headers*/) {
    const CURLcode result = curl_easy_perform(curl.get());
    std::lock_guard<std::mutex> lock(StreamLock());
    m_Result = result;
    m_Done = true;
    Notify();
}

void __CFReadStream::Notify() {
    m_Changed.notify_all();
    if (m_RunLoop != nullptr) {
        m_Signalled = true;
        m_RunLoop->m_Wake.notify_all();
    }
}

void __CFReadStream::Unschedule() {
    if (m_RunLoop == nullptr) {
        return;
    }
    auto& sources = m_RunLoop->m_Sources;
    sources.erase(std::remove_if(sources.begin(), sources.end(),
                                 [this](const auto& source) { return source.first == this; }),
                  sources.end());
    m_RunLoop = nullptr;
    m_Signalled = false;
}

CFStreamStatus __CFReadStream::Status() const {
    if (m_Closed) {
        return kCFStreamStatusClosed;
    }
    if (!m_Opened) {
        return kCFStreamStatusNotOpen;
    }
    if (!m_Pending.empty() || !m_Done) {
        return kCFStreamStatusOpen;
    }
    return m_Result == CURLE_OK ? kCFStreamStatusAtEnd : kCFStreamStatusError;
}

size_t __CFReadStream::OnHeader(char* data, size_t size, size_t count, void* object) {
    auto* stream = static_cast<__CFReadStream*>(object);
    const std::string line(data, size * count);
    std::lock_guard<std::mutex> lock(StreamLock());
    if (line.compare(0, 5, "HTTP/") == 0) {
        // A new status line: an interim 1xx answer's fields are not the response's.
        stream->m_ResponseFields.clear();
        const size_t space = line.find(' ');
        stream->m_Status =
            space == std::string::npos ? 0 : std::strtol(line.c_str() + space + 1, nullptr, 10);
    } else if (Trim(line).empty()) {
        if (stream->m_Status >= 200) {
            stream->m_HeaderComplete = true;
            stream->Notify();
        }
    } else {
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            // A field that comes again is one field whose values are joined, as CFNetwork has
            // them.
            const std::string name = Trim(line.substr(0, colon));
            const std::string value = Trim(line.substr(colon + 1));
            HeaderFields& fields = stream->m_ResponseFields;
            const auto known = std::find_if(fields.begin(), fields.end(), [&name](const auto& f) {
                return EqualNoCase(f.first, name);
            });
            if (known == fields.end()) {
                fields.emplace_back(name, value);
            } else {
                known->second += ", " + value;
            }
        }
    }
    return size * count;
}

size_t __CFReadStream::OnBody(char* data, size_t size, size_t count, void* object) {
    auto* stream = static_cast<__CFReadStream*>(object);
    const size_t total = size * count;
    size_t taken = 0;
    std::unique_lock<std::mutex> lock(StreamLock());
    while (taken < total) {
        stream->m_Changed.wait(lock, [stream] {
            return stream->m_Cancelled || stream->m_Pending.size() < kBufferBytes;
        });
        if (stream->m_Cancelled) {
            return 0;
        }
        const size_t room = std::min(kBufferBytes - stream->m_Pending.size(), total - taken);
        stream->m_Pending.append(data + taken, room);
        taken += room;
        stream->Notify();
    }
    return total;
}

int __CFReadStream::OnProgress(void* object, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* stream = static_cast<__CFReadStream*>(object);
    std::lock_guard<std::mutex> lock(StreamLock());
    return stream->m_Cancelled ? 1 : 0;
}

CFIndex __CFReadStream::Read(UInt8* buffer, CFIndex length) {
    std::unique_lock<std::mutex> lock(StreamLock());
    if (!m_Opened || m_Closed || length < 0) {
        return -1;
    }
    // A stream blocks its reader until something arrives, scheduled on a run loop or not.
    m_Changed.wait(lock, [this] { return m_Done || !m_Pending.empty(); });
    m_HeaderParsed = true;
    if (!m_Pending.empty()) {
        const size_t count = std::min(m_Pending.size(), static_cast<size_t>(length));
        std::memcpy(buffer, m_Pending.data(), count);
        m_Pending.erase(0, count);
        m_Changed.notify_all();
        return static_cast<CFIndex>(count);
    }
    if (m_Result != CURLE_OK) {
        m_Error = StreamError(m_Result);
        return -1;
    }
    return 0;
}

void __CFReadStream::Stop() {
    {
        std::lock_guard<std::mutex> lock(StreamLock());
        m_Cancelled = true;
        m_Changed.notify_all();
    }
    if (m_Worker.joinable()) {
        m_Worker.join();
    }
}

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFStringRef kCFHTTPVersion1_0 = &kVersion10;
const CFStringRef kCFHTTPVersion1_1 = &kVersion11;
const CFStringRef kCFStreamPropertyHTTPResponseHeader = &kResponseHeader;

void CFRelease(CFTypeRef object) {
    const CFRuntimeBase* base = static_cast<const CFRuntimeBase*>(object);
    if (base == nullptr) {
        std::abort();  // CoreFoundation crashes on it too; a silent pass would hide the bug.
    }
    if (!base->m_Immortal && const_cast<CFRuntimeBase*>(base)->m_References.fetch_sub(1) == 1) {
        delete base;
    }
}

CFTypeRef CFRetain(CFTypeRef object) {
    const CFRuntimeBase* base = static_cast<const CFRuntimeBase*>(object);
    const_cast<CFRuntimeBase*>(base)->m_References.fetch_add(1);
    return object;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* text, CFStringEncoding encoding) {
    if (text == nullptr) {
        return nullptr;
    }
    std::string converted;
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        // Mac Roman's upper half maps to other code points; the gateway texts are ASCII, so an
        // upper-half byte is refused rather than mistranslated.
        if (byte >= 0x80 && encoding != kCFStringEncodingUTF8) {
            return nullptr;
        }
        converted.push_back(*c);
    }
    return new __CFString(std::move(converted));
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding) {
    const std::string& text = string->m_Text;
    if (bufferSize < 1 || text.size() >= static_cast<size_t>(bufferSize)) {
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

SInt32 CFStringGetIntValue(CFStringRef string) {
    // Leading white space, an optional sign, the digits: anything else ends the number, and no
    // number at all is 0, as on the Mac.
    const std::string& text = string->m_Text;
    size_t at = text.find_first_not_of(" \t\r\n");
    if (at == std::string::npos) {
        return 0;
    }
    const bool negative = text[at] == '-';
    if (text[at] == '-' || text[at] == '+') {
        ++at;
    }
    long long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = std::min(value * 10 + (text[at] - '0'), 1LL << 31);
    }
    value = negative ? -value : value;
    return static_cast<SInt32>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

CFURLRef CFURLCreateWithString(CFAllocatorRef, CFStringRef urlString, CFURLRef baseURL) {
    if (urlString == nullptr || baseURL != nullptr) {
        return nullptr;
    }
    const std::string& text = urlString->m_Text;
    const bool legal = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > ' ' && byte < 0x7f && c != '"' && c != '<' && c != '>' && c != '\\' &&
               c != '^' && c != '`' && c != '{' && c != '|' && c != '}';
    });
    return legal ? new __CFURL(text) : nullptr;
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer, CFIndex maxBufLen) {
    static constexpr char kFileScheme[] = "file://";
    std::string path = url->m_Text;
    if (path.compare(0, sizeof(kFileScheme) - 1, kFileScheme) == 0) {
        path.erase(0, sizeof(kFileScheme) - 1);
    }
    // A URL escapes what a path holds plainly, a blank as %20 among them.
    std::string decoded;
    for (size_t at = 0; at < path.size(); ++at) {
        if (path[at] == '%' && at + 2 < path.size() &&
            std::isxdigit(static_cast<unsigned char>(path[at + 1])) &&
            std::isxdigit(static_cast<unsigned char>(path[at + 2]))) {
            decoded.push_back(static_cast<char>(std::stoi(path.substr(at + 1, 2), nullptr, 16)));
            at += 2;
        } else if (path[at] == '%') {
            return false;
        } else {
            decoded.push_back(path[at]);
        }
    }
    path = decoded;
    if (path.empty() || path[0] != '/' || path.size() >= static_cast<size_t>(maxBufLen)) {
        return false;
    }
    // A directory's URL ends in "/", its file-system form does not.
    if (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length) {
    if (length < 0 || (bytes == nullptr && length > 0)) {
        return nullptr;
    }
    return new __CFData(std::string(reinterpret_cast<const char*>(bytes), length));
}

CFBundleRef CFBundleCreate(CFAllocatorRef, CFURLRef bundleURL) {
    return bundleURL == nullptr ? nullptr : new __CFBundle(bundleURL->m_Text);
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
    return new __CFURL(bundle->m_Url);
}

CFHTTPMessageRef CFHTTPMessageCreateRequest(CFAllocatorRef, CFStringRef requestMethod, CFURLRef url,
                                            CFStringRef httpVersion) {
    if (requestMethod == nullptr || url == nullptr || httpVersion == nullptr) {
        return nullptr;
    }
    auto* message = new __CFHTTPMessage;
    message->m_Method = requestMethod->m_Text;
    message->m_Url = url->m_Text;
    message->m_Version = httpVersion->m_Text;
    return message;
}

void CFHTTPMessageSetHeaderFieldValue(CFHTTPMessageRef message, CFStringRef headerField,
                                      CFStringRef value) {
    HeaderFields& fields = message->m_Fields;
    const std::string& name = headerField->m_Text;
    const auto found = std::find_if(fields.begin(), fields.end(), [&name](const auto& field) {
        return EqualNoCase(field.first, name);
    });
    if (value == nullptr) {
        if (found != fields.end()) {
            fields.erase(found);
        }
    } else if (found != fields.end()) {
        found->second = value->m_Text;
    } else {
        fields.emplace_back(name, value->m_Text);
    }
}

void CFHTTPMessageSetBody(CFHTTPMessageRef message, CFDataRef bodyData) {
    message->m_Body = bodyData->m_Bytes;
}

CFIndex CFHTTPMessageGetResponseStatusCode(CFHTTPMessageRef response) {
    return response->m_Status;
}

CFStringRef CFHTTPMessageCopyHeaderFieldValue(CFHTTPMessageRef message, CFStringRef headerField) {
    const HeaderFields& fields = message->m_Fields;
    const std::string& name = headerField->m_Text;
    const auto found = std::find_if(fields.begin(), fields.end(), [&name](const auto& field) {
        return EqualNoCase(field.first, name);
    });
    return found == fields.end() ? nullptr : new __CFString(found->second);
}

CFReadStreamRef CFReadStreamCreateForHTTPRequest(CFAllocatorRef, CFHTTPMessageRef request) {
    return request == nullptr ? nullptr : new __CFReadStream(*request);
}

Boolean CFReadStreamOpen(CFReadStreamRef stream) {
    std::lock_guard<std::mutex> lock(StreamLock());
    return !stream->m_Opened && stream->Open();
}

CFStreamStatus CFReadStreamGetStatus(CFReadStreamRef stream) {
    std::lock_guard<std::mutex> lock(StreamLock());
    return stream->Status();
}

Boolean CFReadStreamHasBytesAvailable(CFReadStreamRef stream) {
    std::lock_guard<std::mutex> lock(StreamLock());
    if (stream->m_Closed || stream->m_Pending.empty()) {
        return false;
    }
    stream->m_HeaderParsed = true;
    return true;
}

CFIndex CFReadStreamRead(CFReadStreamRef stream, UInt8* buffer, CFIndex bufferLength) {
    return stream->Read(buffer, bufferLength);
}

CFStreamError CFReadStreamGetError(CFReadStreamRef stream) {
    std::lock_guard<std::mutex> lock(StreamLock());
    return stream->m_Error;
}

CFTypeRef CFReadStreamCopyProperty(CFReadStreamRef stream, CFStreamPropertyKey propertyName) {
    if (propertyName != kCFStreamPropertyHTTPResponseHeader) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(StreamLock());
    if (!stream->m_HeaderParsed || !stream->m_HeaderComplete) {
        return nullptr;
    }
    auto* response = new __CFHTTPMessage;
    response->m_Status = stream->m_Status;
    response->m_Fields = stream->m_ResponseFields;
    return static_cast<const CFRuntimeBase*>(response);
}

void CFReadStreamScheduleWithRunLoop(CFReadStreamRef stream, CFRunLoopRef runLoop,
                                     CFRunLoopMode runLoopMode) {
    std::lock_guard<std::mutex> lock(StreamLock());
    // One loop at a time is all the stand-in keeps.
    stream->Unschedule();
    stream->m_RunLoop = runLoop;
    runLoop->m_Sources.emplace_back(stream, runLoopMode->m_Text);
    stream->Notify();
}

void CFReadStreamUnscheduleFromRunLoop(CFReadStreamRef stream, CFRunLoopRef runLoop,
                                       CFRunLoopMode) {
    std::lock_guard<std::mutex> lock(StreamLock());
    if (stream->m_RunLoop == runLoop) {
        stream->Unschedule();
    }
}

void CFReadStreamClose(CFReadStreamRef stream) {
    stream->Stop();
    std::lock_guard<std::mutex> lock(StreamLock());
    stream->m_Closed = true;
}

CFRunLoopRef CFRunLoopGetCurrent(void) {
    static thread_local __CFRunLoop loop;
    return &loop;
}

CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds,
                                      Boolean returnAfterSourceHandled) {
    __CFRunLoop* loop = CFRunLoopGetCurrent();
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(std::clamp(seconds, 0.0, kLongestRun)));
    std::unique_lock<std::mutex> lock(StreamLock());
    for (;;) {
        auto& sources = loop->m_Sources;
        const auto inMode = [&mode](const auto& source) { return source.second == mode->m_Text; };
        if (std::none_of(sources.begin(), sources.end(), inMode)) {
            return kCFRunLoopRunFinished;
        }
        // A stream is a source with news to handle: it makes the progress its news brings, so
        // its header is parsed from then on.
        const auto ready = std::find_if(sources.begin(), sources.end(), [&](const auto& source) {
            return inMode(source) && source.first->m_Signalled;
        });
        if (ready != sources.end()) {
            ready->first->m_Signalled = false;
            ready->first->m_HeaderParsed |= ready->first->m_HeaderComplete;
            if (returnAfterSourceHandled) {
                return kCFRunLoopRunHandledSource;
            }
            continue;
        }
        if (loop->m_Wake.wait_until(lock, deadline) == std::cv_status::timeout) {
            return kCFRunLoopRunTimedOut;
        }
    }
}

const SInt32 kCFStreamErrorDomainNetDB = 12;
const SInt32 kCFStreamErrorDomainSSL = 3;

}  // extern "C"
