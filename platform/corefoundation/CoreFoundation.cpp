// The stand-in's strings, URLs, data, messages and HTTP stream. The HTTP stream runs libcurl on a
// worker thread that feeds a bounded buffer, so a read returns what has arrived so far, as a
// socket-backed stream does, and tells its client of what happened while a run loop it is
// scheduled on runs in its mode.
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

#include "Objects.h"
#include "Record.h"
#include "Slack.h"
#include "curl/CurlRequest.h"
#include "util/Text.h"

// The stand-in implements the calls Apple has deprecated, as well as declaring them so.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

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
const __CFString kHttpProxy("kCFStreamPropertyHTTPProxy", true);

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

// A client as CFReadStreamSetClient registers it.
struct SStreamClient {
    CFOptionFlags events = kCFStreamEventNone;
    CFReadStreamClientCallBack callBack = nullptr;
    CFStreamClientContext context{};
};

struct __CFReadStream : CFRuntimeBase {
    explicit __CFReadStream(const __CFHTTPMessage& request)
        : m_Method(request.m_Method),
          m_Url(request.m_Url),
          m_Version(request.m_Version),
          m_Fields(request.m_Fields),
          m_Body(request.m_Body),
          m_Slack(SlackFromEnvironment()) {}
    ~__CFReadStream() override {
        Stop();
        SStreamClient client;
        {
            std::lock_guard<std::mutex> lock(StreamLock());
            Unschedule();
            std::swap(client, m_Client);
        }
        ReleaseInfo(client);
    }

    bool Open();
    CFIndex Read(UInt8* buffer, CFIndex length);
    void Stop();
    // Stops the transfer without waiting for it to end: the worker keeps the stream until it has.
    void Abandon();
    CFStreamStatus Status() const;
    // Tells whoever waits that the stream has news: a reader, and the run loop it is scheduled on.
    void Notify();
    // The events the stream's state calls for, as CFStream signals them: bytes to read while
    // there are any, then the end or the failure, once.
    void SignalState();
    void Unschedule();
    static void ReleaseInfo(const SStreamClient& client);

    const std::string m_Method;
    const std::string m_Url;
    const std::string m_Version;
    const HeaderFields m_Fields;
    const std::string m_Body;
    // Taken when the stream is made, so that its worker never reads the environment.
    const unsigned m_Slack;
    // The proxy the transfer goes through, "host:port"; empty for none.
    std::string m_Proxy;

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
    SStreamClient m_Client;
    // The client's events the run loop has yet to tell it of.
    CFOptionFlags m_EventsToSignal = kCFStreamEventNone;
    bool m_FinalSignalled = false;
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
    if (!m_Proxy.empty()) {
        curl_easy_setopt(handle, CURLOPT_PROXY, ("http://" + m_Proxy).c_str());
    }
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
    SignalState();
}

void __CFReadStream::Notify() {
    m_Changed.notify_all();
    if (m_RunLoop != nullptr) {
        m_Signalled = true;
        m_RunLoop->m_Wake.notify_all();
    }
}

void __CFReadStream::SignalState() {
    CFOptionFlags event = kCFStreamEventNone;
    switch (Status()) {
        case kCFStreamStatusOpen:
            event = m_Pending.empty() ? kCFStreamEventNone : kCFStreamEventHasBytesAvailable;
            break;
        case kCFStreamStatusAtEnd:
            event = m_FinalSignalled ? kCFStreamEventNone : kCFStreamEventEndEncountered;
            break;
        case kCFStreamStatusError:
            event = m_FinalSignalled ? kCFStreamEventNone : kCFStreamEventErrorOccurred;
            break;
        default:
            break;
    }
    m_FinalSignalled |= (event & (kCFStreamEventEndEncountered | kCFStreamEventErrorOccurred)) != 0;
    m_EventsToSignal |= event & m_Client.events;
    Notify();
}

void __CFReadStream::ReleaseInfo(const SStreamClient& client) {
    if (client.context.release != nullptr && client.context.info != nullptr) {
        client.context.release(client.context.info);
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
    const bool failed = m_Done && m_Result != CURLE_OK;
    if ((m_Slack & kSlackErrorDropsBytes) != 0 && failed) {
        return kCFStreamStatusError;
    }
    if (!m_Pending.empty() || !m_Done) {
        return kCFStreamStatusOpen;
    }
    return failed ? kCFStreamStatusError : kCFStreamStatusAtEnd;
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
        stream->SignalState();
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
    // A read takes back the news of bytes: what is left, if anything, is told of anew.
    m_EventsToSignal &= ~static_cast<CFOptionFlags>(kCFStreamEventHasBytesAvailable);
    if (Status() == kCFStreamStatusError) {
        m_Pending.clear();
    }
    if (!m_Pending.empty()) {
        const size_t count = std::min(m_Pending.size(), static_cast<size_t>(length));
        std::memcpy(buffer, m_Pending.data(), count);
        m_Pending.erase(0, count);
        SignalState();
        return static_cast<CFIndex>(count);
    }
    SignalState();
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

namespace {

// The workers of streams closed before their work had ended. Each keeps a reference to its stream
// until it has ended; those still running when the stand-in is unloaded are waited for then.
class CLingeringWorkers {
public:
    // Made after libcurl's process-wide state, and so gone before it.
    CLingeringWorkers() { EnsureCurlGlobal(); }
    ~CLingeringWorkers() {
        for (SWorker& worker : m_Workers) {
            End(worker);
        }
    }
    CLingeringWorkers(const CLingeringWorkers&) = delete;
    CLingeringWorkers& operator=(const CLingeringWorkers&) = delete;

    void Adopt(std::thread thread, __CFReadStream* stream) {
        std::lock_guard<std::mutex> lock(m_Lock);
        const auto ended = std::partition(m_Workers.begin(), m_Workers.end(), [](SWorker& w) {
            std::lock_guard<std::mutex> streamLock(StreamLock());
            return !w.stream->m_Done;
        });
        std::for_each(ended, m_Workers.end(), &CLingeringWorkers::End);
        m_Workers.erase(ended, m_Workers.end());
        CFRetain(stream);
        m_Workers.push_back({std::move(thread), stream});
    }

private:
    struct SWorker {
        std::thread thread;
        __CFReadStream* stream;
    };

    static void End(SWorker& worker) {
        worker.thread.join();
        CFRelease(worker.stream);
    }

    std::mutex m_Lock;
    std::vector<SWorker> m_Workers;
};

CLingeringWorkers& LingeringWorkers() {
    static CLingeringWorkers workers;
    return workers;
}

}  // namespace

void __CFReadStream::Abandon() {
    {
        std::lock_guard<std::mutex> lock(StreamLock());
        m_Cancelled = true;
        m_Changed.notify_all();
    }
    if (m_Worker.joinable()) {
        LingeringWorkers().Adopt(std::move(m_Worker), this);
    }
}

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFStringRef kCFHTTPVersion1_0 = &kVersion10;
const CFStringRef kCFHTTPVersion1_1 = &kVersion11;
const CFStringRef kCFStreamPropertyHTTPResponseHeader = &kResponseHeader;
const CFStringRef kCFStreamPropertyHTTPProxy = &kHttpProxy;

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

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2) {
    const auto* text1 = dynamic_cast<const __CFString*>(static_cast<const CFRuntimeBase*>(cf1));
    const auto* text2 = dynamic_cast<const __CFString*>(static_cast<const CFRuntimeBase*>(cf2));
    if (text1 != nullptr && text2 != nullptr) {
        return text1->m_Text == text2->m_Text;
    }
    return cf1 == cf2;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* text, CFStringEncoding encoding) {
    if (text == nullptr) {
        return nullptr;
    }
    // Mac Roman maps all 256 bytes, and under its switch the stand-in keeps each as it is. By
    // default it refuses the upper half, whose bytes stand for other code points there, so that a
    // text that is not ASCII shows rather than passing as something it is not.
    const bool everyByte = (SlackFromEnvironment() & kSlackMacRomanEveryByte) != 0;
    std::string converted;
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte >= 0x80 && encoding != kCFStringEncodingUTF8 && !everyByte) {
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
        // CFStream answers TRUE for an open stream that cannot tell without reading.
        return (stream->m_Slack & kSlackHasBytesGuess) != 0 &&
               stream->Status() == kCFStreamStatusOpen;
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

Boolean CFReadStreamSetProperty(CFReadStreamRef stream, CFStreamPropertyKey propertyName,
                                CFTypeRef propertyValue) {
    const auto* settings =
        dynamic_cast<const __CFDictionary*>(static_cast<const CFRuntimeBase*>(propertyValue));
    std::lock_guard<std::mutex> lock(StreamLock());
    // The proxy is the stream's until it opens; the settings name it for the URL's scheme.
    if (propertyName != kCFStreamPropertyHTTPProxy || settings == nullptr || stream->m_Opened) {
        return false;
    }
    const std::string scheme = StartsWithNoCase(stream->m_Url, "https:") ? "HTTPS" : "HTTP";
    const std::string host = settings->Text(scheme + "Proxy");
    stream->m_Proxy =
        host.empty() ? "" : host + ":" + std::to_string(settings->Number(scheme + "Port"));
    RecordCall("CFReadStreamSetProperty kCFStreamPropertyHTTPProxy " + stream->m_Proxy);
    return true;
}

Boolean CFReadStreamSetClient(CFReadStreamRef stream, CFOptionFlags streamEvents,
                              CFReadStreamClientCallBack clientCB,
                              CFStreamClientContext* clientContext) {
    SStreamClient client;
    // A null context removes the client, as CFStream has it; so does a null call-back, which
    // could not be called.
    if (clientContext != nullptr && clientCB != nullptr) {
        client = {streamEvents, clientCB, *clientContext};
        if (client.context.retain != nullptr && client.context.info != nullptr) {
            client.context.info = client.context.retain(client.context.info);
        }
    }
    {
        std::lock_guard<std::mutex> lock(StreamLock());
        std::swap(client, stream->m_Client);
        stream->m_EventsToSignal &= stream->m_Client.events;
        if (stream->m_Opened) {
            stream->SignalState();
        }
    }
    __CFReadStream::ReleaseInfo(client);
    return true;
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
    if ((stream->m_Slack & kSlackCloseReturnsEarly) != 0) {
        stream->Abandon();
    } else {
        stream->Stop();
    }
    std::lock_guard<std::mutex> lock(StreamLock());
    stream->m_Closed = true;
    // A closed stream tells its client nothing more.
    stream->m_EventsToSignal = kCFStreamEventNone;
}

}  // extern "C"

namespace {

// Calls the stream's client for each event it has yet to be told of, in CFStream's order, with the
// lock let go: the client reads from the stream, or lets it go, in its call-back.
void TellClient(__CFReadStream& stream, std::unique_lock<std::mutex>& lock) {
    const CFOptionFlags events = std::exchange(stream.m_EventsToSignal, kCFStreamEventNone);
    if (events == kCFStreamEventNone) {
        return;
    }
    CFRetain(&stream);
    for (CFOptionFlags event = 1; event <= events; event <<= 1) {
        const SStreamClient client = stream.m_Client;
        if ((events & event) == 0 || (client.events & event) == 0 || stream.m_Closed) {
            continue;
        }
        lock.unlock();
        client.callBack(&stream, event, client.context.info);
        lock.lock();
    }
    lock.unlock();
    CFRelease(&stream);
    lock.lock();
}

}  // namespace

extern "C" {

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
            __CFReadStream* stream = ready->first;
            stream->m_Signalled = false;
            stream->m_HeaderParsed |= stream->m_HeaderComplete;
            TellClient(*stream, lock);
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
