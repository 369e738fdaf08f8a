// The Linux backend: libcurl. libcurl makes a request in one call, so Send runs the whole
// transfer and keeps the body; the status, the announced length and the body are then handed
// out from what libcurl parsed.
#include "transport/HttpBackend.h"

#ifdef PGV_HAVE_LIBCURL

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

#include "curl/CurlRequest.h"
#include "transport/ContentLength.h"
#include "transport/CurlTls.h"

namespace {

constexpr char kContentLength[] = "Content-Length";
constexpr char kContentEncoding[] = "Content-Encoding";
// The most recent answer of the transfer: the final one, after any interim 1xx answer.
constexpr int kLastAnswer = -1;

class CCurlBackend : public IHttpBackend {
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
    bool SetUp();
    // Each time the final answer's header came, its values joined as one list.
    bool QueryHeader(const char* name, std::string& value);
    static size_t OnHeader(char* data, size_t size, size_t count, void* backend);
    static size_t OnBody(char* data, size_t size, size_t count, void* backend);
    size_t TakeBody(const char* data, size_t size);

    SWireRequest m_Request;
    CurlEasy m_Curl;
    CurlUrl m_Url;
    CurlSlist m_Headers;
    bool m_HeaderComplete = false;
    bool m_BodyStarted = false;
    size_t m_ExpectedLength = kMaxResponseBytes;
    bool m_StoppedAtLength = false;
    bool m_ReadFailed = false;
    std::string m_Answer;
    size_t m_ReadPosition = 0;
};

bool CCurlBackend::Prepare(const SWireRequest& request, Log& /*log*/) {
    m_Request = request;
    return true;
}

bool CCurlBackend::SetUp() {
    m_Curl = NewRequestHandle(m_Request.method, m_Request.version, m_Request.body,
                              m_Request.timeoutSeconds);
    m_Url.reset(curl_url());
    HeaderFields fields;
    for (const SHttpHeader& header : m_Request.headers) {
        fields.emplace_back(header.name, header.value);
    }
    m_Headers = HeaderList(fields);
    if (!m_Curl || !m_Url || !m_Headers) {
        return false;
    }
    CURL* curl = m_Curl.get();
    const std::string port = std::to_string(m_Request.parts.port);
    if (curl_url_set(m_Url.get(), CURLUPART_SCHEME, "https", 0) != CURLUE_OK ||
        curl_url_set(m_Url.get(), CURLUPART_HOST, m_Request.parts.host.c_str(), 0) != CURLUE_OK ||
        curl_url_set(m_Url.get(), CURLUPART_PORT, port.c_str(), 0) != CURLUE_OK ||
        curl_easy_setopt(curl, CURLOPT_CURLU, m_Url.get()) != CURLE_OK ||
        // The target goes as the gateway wrote it: libcurl would normalise a path of its own.
        curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, m_Request.parts.target.c_str()) !=
            CURLE_OK) {
        return false;
    }
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    // Card data travels over TLS 1.2 or newer only, whatever else the system's library allows.
    curl_easy_setopt(curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    // A new connection for every transaction, as on Windows.
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NO_REVOKE));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, m_Headers.get());
    // The announced length is read by the exchange's own rule: libcurl would refuse an odd one
    // before the exchange could report it.
    curl_easy_setopt(curl, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &CCurlBackend::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CCurlBackend::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    return ApplyCurlTlsState(curl);
}

EExchangeFailure CCurlBackend::Send() {
    if (!SetUp()) {
        return EExchangeFailure::ConnectFailed;
    }
    const CURLcode result = curl_easy_perform(m_Curl.get());
    if (!m_HeaderComplete) {
        return result == CURLE_OPERATION_TIMEDOUT ? EExchangeFailure::NoAnswerInTime
                                                  : EExchangeFailure::ConnectFailed;
    }
    m_ReadFailed = result != CURLE_OK && !m_StoppedAtLength;
    return EExchangeFailure::None;
}

// libcurl counts what it wrote of the request: the header and then the body.
bool CCurlBackend::RequestMayHaveLeft() {
    if (!m_Curl) {
        return false;
    }
    long headerBytes = 0;
    curl_off_t bodyBytes = 0;
    curl_easy_getinfo(m_Curl.get(), CURLINFO_REQUEST_SIZE, &headerBytes);
    curl_easy_getinfo(m_Curl.get(), CURLINFO_SIZE_UPLOAD_T, &bodyBytes);
    return headerBytes > 0 || bodyBytes > 0;
}

bool CCurlBackend::QueryStatusCode(std::string& code) {
    long status = 0;
    curl_easy_getinfo(m_Curl.get(), CURLINFO_RESPONSE_CODE, &status);
    code = status > 0 ? std::to_string(status) : std::string();
    return status > 0;
}

bool CCurlBackend::QueryHeader(const char* name, std::string& value) {
    value.clear();
    curl_header* header = nullptr;
    for (size_t index = 0; curl_easy_header(m_Curl.get(), name, index, CURLH_HEADER, kLastAnswer,
                                            &header) == CURLHE_OK;
         ++index) {
        value += (index > 0 ? ", " : "") + std::string(header->value);
    }
    return header != nullptr;
}

bool CCurlBackend::QueryContentLength(std::string& length) {
    return QueryHeader(kContentLength, length);
}

bool CCurlBackend::QueryContentEncoding(std::string& encoding) {
    return QueryHeader(kContentEncoding, encoding);
}

long CCurlBackend::Read(char* buffer, size_t size) {
    const size_t count = std::min(size, m_Answer.size() - m_ReadPosition);
    if (count == 0) {
        return m_ReadFailed ? -1 : 0;
    }
    std::memcpy(buffer, m_Answer.data() + m_ReadPosition, count);
    m_ReadPosition += count;
    return static_cast<long>(count);
}

void CCurlBackend::Close() {
    m_Curl.reset();
    m_Url.reset();
    m_Headers.reset();
}

// libcurl parses each header line; this only notes when the final answer's header has ended, so
// that a transfer cut short inside the header is told from one cut short inside the body.
size_t CCurlBackend::OnHeader(char* data, size_t size, size_t count, void* object) {
    auto* backend = static_cast<CCurlBackend*>(object);
    const size_t length = size * count;
    long status = 0;
    curl_easy_getinfo(backend->m_Curl.get(), CURLINFO_RESPONSE_CODE, &status);
    const bool blank =
        (length == 2 && std::memcmp(data, "\r\n", 2) == 0) || (length == 1 && data[0] == '\n');
    if (blank && status >= 200) {
        backend->m_HeaderComplete = true;
    }
    return length;
}

size_t CCurlBackend::OnBody(char* data, size_t size, size_t count, void* backend) {
    return static_cast<CCurlBackend*>(backend)->TakeBody(data, size * count);
}

size_t CCurlBackend::TakeBody(const char* data, size_t size) {
    // Only the announced length is ever read, as WinINet reads it; the transfer stops there
    // instead of waiting for a server that keeps the connection open.
    if (!m_BodyStarted) {
        m_BodyStarted = true;
        std::string length;
        if (QueryContentLength(length)) {
            if (const auto announced = ParseContentLength(length)) {
                m_ExpectedLength = std::min<size_t>(*announced, kMaxResponseBytes);
            }
        }
    }
    const size_t wanted = std::min(size, m_ExpectedLength - m_Answer.size());
    m_Answer.append(data, wanted);
    if (m_Answer.size() >= m_ExpectedLength) {
        m_StoppedAtLength = true;
        return 0;
    }
    return size;
}

}  // namespace

std::unique_ptr<IHttpBackend> CreateCurlBackend() {
    return std::make_unique<CCurlBackend>();
}

#endif
