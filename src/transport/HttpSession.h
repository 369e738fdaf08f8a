// The platform operations one HTTPS exchange is made of. The exchange algorithm is written once
// against them; each platform supplies one backend (libcurl, WinINet, CFNetwork).
#ifndef PAYGROVE_TRANSPORT_HTTPSESSION_H
#define PAYGROVE_TRANSPORT_HTTPSESSION_H

#include <cstddef>
#include <memory>
#include <string>

// The most a gateway answer may announce or deliver; nothing larger is ever allocated.
constexpr size_t kMaxResponseBytes = 64u * 1024u * 1024u;

struct SUrlParts {
    std::string scheme;
    std::string host;
    int port = 0;
    std::string path;  // everything after host and port, query and a final "?" included
};

// The answer's side, the same on every line: status, announced length, body.
class CHttpAnswer {
public:
    virtual ~CHttpAnswer() = default;

    // The status code as the server sent it.
    virtual bool QueryStatusCode(std::string& code) = 0;
    // The Content-Length header's value as the server sent it.
    virtual bool QueryContentLength(std::string& length) = 0;
    // Reads up to `size` body bytes: the count read, 0 at the end of the body, -1 on failure.
    virtual long Read(char* buffer, size_t size) = 0;
    // Closes whatever of the exchange is open.
    virtual void Close() = 0;
};

// The Windows line's request side: the URL cracked, host and target given apart.
class CHttpSession : public CHttpAnswer {
public:
    virtual bool CrackUrl(const std::string& url, SUrlParts& parts) = 0;
    // The root handle: agent name, the system's proxy settings, and the time-out in seconds
    // that bounds the whole exchange (0 or less: the platform's bounded defaults).
    virtual bool Open(const char* agent, int timeoutSeconds) = 0;
    virtual bool Connect(const std::string& host, int port) = 0;
    // An https request: no cache, no redirects followed, the certificate verified.
    virtual bool OpenRequest(const char* method, const std::string& target,
                             const char* version) = 0;
    virtual void IgnoreRevocation() = 0;
    // Header lines, each ended by CR LF, sent in this order.
    virtual void AddHeaders(const std::string& block) = 0;
    // Sends the request with `body` (empty for GET) and waits for the answer's header.
    virtual bool Send(const std::string& body) = 0;
};

std::unique_ptr<CHttpSession> CreateHttpSession();

// The Mac line's request side: one whole URL, the header fields given one by one.
class CUrlHttpSession : public CHttpAnswer {
public:
    // False when the text is no URL.
    virtual bool SetUrl(const std::string& url) = 0;
    // An HTTP/1.1 request for the URL given; false when it cannot be made.
    virtual bool CreateRequest(const char* method) = 0;
    virtual void SetHeader(const std::string& name, const std::string& value) = 0;
    // The stream that carries the request with `body`; the time-out in seconds bounds the whole
    // exchange (0 or less: the platform's bounded defaults). False when it cannot be made.
    virtual bool CreateStream(const std::string& body, int timeoutSeconds) = 0;
    // Connects, sends the request and waits for the answer's header, certificate verified.
    virtual bool Send() = 0;
};

std::unique_ptr<CUrlHttpSession> CreateUrlHttpSession();

#endif
