// The platform's part of one exchange, the same shape on every platform: a request in, an answer
// out. One backend per platform (libcurl, WinINet, CFNetwork); the exchange drives whichever it
// was given, and the answer's steps are written once, in the exchange.
#ifndef PAYGROVE_TRANSPORT_HTTPBACKEND_H
#define PAYGROVE_TRANSPORT_HTTPBACKEND_H

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/Exchange.h"
#include "transport/Url.h"

class Log;

// The most a gateway answer may announce or deliver; nothing larger is ever allocated.
constexpr size_t kMaxResponseBytes = 64u * 1024u * 1024u;

struct SHttpHeader {
    std::string name;
    std::string value;
};

// A request as a line of the exchange puts it on the wire.
struct SWireRequest {
    const char* method = "GET";
    // The whole URL, for a backend that takes it whole; its parts, for one that connects by host.
    std::string url;
    SUrlParts parts;
    const char* version = "HTTP/1.1";
    std::vector<SHttpHeader> headers;  // in the order sent
    std::string body;
    // Seconds that bound the whole exchange; 0 or less keeps the platform's bounded defaults.
    int timeoutSeconds = 0;
    // What the log says as the connection opens.
    std::string opening;
};

class IHttpBackend {
public:
    virtual ~IHttpBackend() = default;

    // Makes the request ready to go, logging what the platform logs of that; false when it
    // cannot be made.
    virtual bool Prepare(const SWireRequest& request, Log& log) = 0;
    // Connects, sends the request and waits for the answer's header, the certificate verified, no
    // redirect followed, nothing taken from or put into a cache, the connection used for this
    // request alone. None once the header is there; NoAnswerInTime when the time ran out first;
    // ConnectFailed for any other failure.
    virtual EExchangeFailure Send() = 0;
    // Whether any byte of the request may have reached the connection, or still may once Send has
    // given up: false only where the platform can tell that none did and none will.
    virtual bool RequestMayHaveLeft() = 0;
    // The status code as the server sent it.
    virtual bool QueryStatusCode(std::string& code) = 0;
    // The Content-Length header's value as the server sent it.
    virtual bool QueryContentLength(std::string& length) = 0;
    // The Content-Encoding header's value as the server sent it; false when there is none.
    virtual bool QueryContentEncoding(std::string& encoding) = 0;
    // Reads up to `size` body bytes: the count read, 0 at the end of the body, -1 on failure.
    virtual long Read(char* buffer, size_t size) = 0;
    // Closes whatever of the exchange is open.
    virtual void Close() = 0;
};

using HttpBackendFactory = std::function<std::unique_ptr<IHttpBackend>()>;

// The backends, each built where its platform is: libcurl on Linux, WinINet on Windows, CFNetwork
// on the Mac and, over the CoreFoundation stand-in, on Linux.
std::unique_ptr<IHttpBackend> CreateCurlBackend();
std::unique_ptr<IHttpBackend> CreateWinInetBackend();
std::unique_ptr<IHttpBackend> CreateCFNetworkBackend();

#endif
