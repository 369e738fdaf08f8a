// The Linux backend of the exchange: libcurl. libcurl performs a request in one call, so Send
// runs the whole transfer and keeps the body; the status, the announced length and the body
// are then handed out the way WinINet hands them out.
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "transport/HttpSession.h"

namespace {

constexpr size_t kMaxHostLength = 255;
constexpr size_t kMaxPathLength = 2047;
constexpr int kHttpsPort = 443;
constexpr int kHttpPort = 80;
// Without a time-out from the caller an exchange still never waits forever.
constexpr long kDefaultConnectSeconds = 60;
constexpr long kDefaultStallSeconds = 60;

class CCurlGlobal {
public:
    CCurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CCurlGlobal() { curl_global_cleanup(); }
    CCurlGlobal(const CCurlGlobal&) = delete;
    CCurlGlobal& operator=(const CCurlGlobal&) = delete;
};

void EnsureCurlGlobal() {
    static CCurlGlobal global;
}

struct SCurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const size_t length = std::strlen(prefix);
    return text.size() >= length &&
           std::equal(prefix, prefix + length, text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// libcurl drops a header whose value is empty and sends one written "Name;" as "Name:"; a
// gateway that expects the header bare, such as Payflow's request id, gets it that way.
std::string BareHeaderAsSent(const std::string& line) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos || !Trim(line.substr(colon + 1)).empty()) {
        return line;
    }
    return line.substr(0, colon) + ";";
}

bool IsHostCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
}

class CCurlHttpSession : public CHttpSession {
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
    static size_t OnHeader(char* data, size_t size, size_t count, void* session);
    static size_t OnBody(char* data, size_t size, size_t count, void* session);
    size_t TakeHeaderLine(const std::string& line);
    size_t TakeBody(const char* data, size_t size);

    std::unique_ptr<CURL, SCurlDeleter> m_Curl;
    std::unique_ptr<curl_slist, SSlistDeleter> m_Headers;
    std::string m_Host;
    int m_Port = 0;
    bool m_IsPost = false;
    std::string m_Body;
    std::string m_StatusCode;
    std::string m_ContentLength;
    bool m_HasContentLength = false;
    size_t m_ExpectedLength = kMaxResponseBytes;
    bool m_HeaderComplete = false;
    bool m_StoppedAtLength = false;
    bool m_ReadFailed = false;
    std::string m_Answer;
    size_t m_ReadPosition = 0;
};

bool CCurlHttpSession::CrackUrl(const std::string& url, SUrlParts& parts) {
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos || schemeEnd == 0 ||
        std::any_of(url.begin(), url.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= ' '; })) {
        return false;
    }
    parts.scheme = url.substr(0, schemeEnd);
    const size_t hostStart = schemeEnd + 3;
    const size_t authorityEnd = std::min(url.find_first_of("/?#", hostStart), url.size());
    const std::string authority = url.substr(hostStart, authorityEnd - hostStart);
    const size_t colon = authority.find(':');
    parts.host = authority.substr(0, colon);
    if (parts.host.empty() || parts.host.size() > kMaxHostLength ||
        !std::all_of(parts.host.begin(), parts.host.end(), IsHostCharacter)) {
        return false;
    }
    parts.port = StartsWithNoCase(parts.scheme, "https") ? kHttpsPort : kHttpPort;
    if (colon != std::string::npos) {
        const std::string port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return false;
        }
        parts.port = std::stoi(port);
        if (parts.port < 1 || parts.port > 65535) {
            return false;
        }
    }
    parts.path = url.substr(authorityEnd);
    if (parts.path.empty() || parts.path[0] != '/') {
        parts.path.insert(0, "/");
    }
    return parts.path.size() <= kMaxPathLength;
}

bool CCurlHttpSession::Open(const char* /*agent*/, int timeoutSeconds) {
    EnsureCurlGlobal();
    m_Curl.reset(curl_easy_init());
    if (!m_Curl) {
        return false;
    }
    CURL* curl = m_Curl.get();
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    if (timeoutSeconds > 0) {
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds));
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT,
                         std::min(static_cast<long>(timeoutSeconds), kDefaultConnectSeconds));
    } else {
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kDefaultConnectSeconds);
    }
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kDefaultStallSeconds);
    // The announced length is read the gateway way, by us: libcurl would refuse an odd one
    // before the exchange could report it.
    curl_easy_setopt(curl, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &CCurlHttpSession::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CCurlHttpSession::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    return true;
}

bool CCurlHttpSession::Connect(const std::string& host, int port) {
    m_Host = host;
    m_Port = port;
    return m_Curl != nullptr;
}

bool CCurlHttpSession::OpenRequest(const char* method, const std::string& target,
                                   const char* version) {
    CURL* curl = m_Curl.get();
    const std::string origin = "https://" + m_Host + ":" + std::to_string(m_Port) + "/";
    m_IsPost = std::strcmp(method, "POST") == 0;
    return curl_easy_setopt(curl, CURLOPT_URL, origin.c_str()) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, target.c_str()) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_HTTP_VERSION,
                            std::strcmp(version, "HTTP/1.0") == 0
                                ? CURL_HTTP_VERSION_1_0
                                : CURL_HTTP_VERSION_1_1) == CURLE_OK &&
           curl_easy_setopt(curl, m_IsPost ? CURLOPT_POST : CURLOPT_HTTPGET, 1L) == CURLE_OK;
}

void CCurlHttpSession::IgnoreRevocation() {
    curl_easy_setopt(m_Curl.get(), CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NO_REVOKE));
}

void CCurlHttpSession::AddHeaders(const std::string& block) {
    bool hasContentType = false;
    curl_slist* list = nullptr;
    size_t start = 0;
    while (start < block.size()) {
        const size_t end = std::min(block.find("\r\n", start), block.size());
        const std::string line = block.substr(start, end - start);
        if (!line.empty()) {
            hasContentType = hasContentType || StartsWithNoCase(line, "Content-Type:");
            list = curl_slist_append(list, BareHeaderAsSent(line).c_str());
        }
        start = end + 2;
    }
    // libcurl would add headers of its own that the gateways have never received.
    if (!hasContentType) {
        list = curl_slist_append(list, "Content-Type:");
    }
    list = curl_slist_append(list, "Expect:");
    m_Headers.reset(list);
    curl_easy_setopt(m_Curl.get(), CURLOPT_HTTPHEADER, list);
}

bool CCurlHttpSession::Send(const std::string& body) {
    CURL* curl = m_Curl.get();
    if (m_IsPost) {
        m_Body = body;
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(m_Body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, m_Body.c_str());
    }
    const CURLcode result = curl_easy_perform(curl);
    if (!m_HeaderComplete) {
        return false;
    }
    m_ReadFailed = result != CURLE_OK && !m_StoppedAtLength;
    return true;
}

bool CCurlHttpSession::QueryStatusCode(std::string& code) {
    code = m_StatusCode;
    return !code.empty();
}

bool CCurlHttpSession::QueryContentLength(std::string& length) {
    length = m_ContentLength;
    return m_HasContentLength;
}

long CCurlHttpSession::Read(char* buffer, size_t size) {
    const size_t count = std::min(size, m_Answer.size() - m_ReadPosition);
    if (count == 0) {
        return m_ReadFailed ? -1 : 0;
    }
    std::memcpy(buffer, m_Answer.data() + m_ReadPosition, count);
    m_ReadPosition += count;
    return static_cast<long>(count);
}

void CCurlHttpSession::Close() {
    m_Curl.reset();
    m_Headers.reset();
}

size_t CCurlHttpSession::OnHeader(char* data, size_t size, size_t count, void* session) {
    return static_cast<CCurlHttpSession*>(session)->TakeHeaderLine(std::string(data, size * count));
}

size_t CCurlHttpSession::TakeHeaderLine(const std::string& line) {
    if (StartsWithNoCase(line, "HTTP/")) {
        // A new answer begins (after an interim 1xx one): forget what the last one said.
        const size_t space = line.find(' ');
        m_StatusCode = space == std::string::npos ? std::string() : Trim(line.substr(space + 1, 3));
        m_ContentLength.clear();
        m_HasContentLength = false;
        m_ExpectedLength = kMaxResponseBytes;
        m_HeaderComplete = false;
    } else if (StartsWithNoCase(line, "Content-Length:")) {
        m_ContentLength = Trim(line.substr(std::strlen("Content-Length:")));
        m_HasContentLength = true;
        const bool digits = !m_ContentLength.empty() && m_ContentLength.size() <= 9 &&
                            std::all_of(m_ContentLength.begin(), m_ContentLength.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
        if (digits) {
            m_ExpectedLength = std::min<size_t>(std::stoul(m_ContentLength), kMaxResponseBytes);
        }
    } else if (Trim(line).empty() && !m_StatusCode.empty() && m_StatusCode[0] != '1') {
        m_HeaderComplete = true;
    }
    return line.size();
}

size_t CCurlHttpSession::OnBody(char* data, size_t size, size_t count, void* session) {
    return static_cast<CCurlHttpSession*>(session)->TakeBody(data, size * count);
}

size_t CCurlHttpSession::TakeBody(const char* data, size_t size) {
    // Only the announced length is ever read, as WinINet reads it; the transfer stops there
    // instead of waiting for a server that keeps the connection open.
    const size_t wanted = std::min(size, m_ExpectedLength - m_Answer.size());
    m_Answer.append(data, wanted);
    if (m_Answer.size() >= m_ExpectedLength) {
        m_StoppedAtLength = true;
        return 0;
    }
    return size;
}

}  // namespace

std::unique_ptr<CHttpSession> CreateHttpSession() {
    return std::make_unique<CCurlHttpSession>();
}
