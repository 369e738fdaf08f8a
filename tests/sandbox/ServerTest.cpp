#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "sandbox/Server.h"

namespace pgv::sandbox {
namespace {

constexpr const char* kHost = "secure.authorize.net";

template <typename T, void (*Free)(T*)>
struct SFree {
    void operator()(T* pointer) const { Free(pointer); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, SFree<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, SFree<X509, X509_free>>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, SFree<X509_EXTENSION, X509_EXTENSION_free>>;
using CtxPtr = std::unique_ptr<SSL_CTX, SFree<SSL_CTX, SSL_CTX_free>>;
using SslPtr = std::unique_ptr<SSL, SFree<SSL, SSL_free>>;

struct SFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, SFileCloser>;

// A throwaway self-signed certificate for the gateway host, valid for an hour either side.
void WriteCertificate(const std::string& certPath, const std::string& keyPath) {
    KeyPtr key(EVP_EC_gen("P-256"));
    ASSERT_TRUE(key);
    CertPtr cert(X509_new());
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(kHost), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
    ExtensionPtr san(
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "DNS:secure.authorize.net"));
    ASSERT_TRUE(san);
    X509_add_ext(cert.get(), san.get(), -1);
    ASSERT_GT(X509_sign(cert.get(), key.get(), EVP_sha256()), 0);
    FilePtr certFile(std::fopen(certPath.c_str(), "w"));
    FilePtr keyFile(std::fopen(keyPath.c_str(), "w"));
    ASSERT_TRUE(certFile && keyFile);
    ASSERT_EQ(PEM_write_X509(certFile.get(), cert.get()), 1);
    ASSERT_EQ(PEM_write_PrivateKey(keyFile.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr),
              1);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::uint16_t PortOf(const std::string& address) {
    return static_cast<std::uint16_t>(std::stoi(address.substr(address.rfind(':') + 1)));
}

class Server : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pgv-sandbox-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        WriteCertificate(dir_ + "/cert.pem", dir_ + "/key.pem");
        SServerConfig config;
        config.certFile = dir_ + "/cert.pem";
        config.keyFile = dir_ + "/key.pem";
        config.listen = "127.0.0.1:0";
        config.oddListen = "127.0.0.1:0";
        log_ = std::make_unique<CRequestLog>(dir_ + "/requests.log");
        server_ = std::make_unique<CServer>(config, router_, *log_);
        runner_ = std::thread([this] { server_->Run(); });
    }

    void TearDown() override {
        if (server_) {
            server_->Stop();
            runner_.join();
        }
        std::filesystem::remove_all(dir_);
    }

    // One request over a verified TLS connection; everything the server sent until it closed.
    std::string Exchange(std::uint16_t port, const std::string& request) {
        CtxPtr context(SSL_CTX_new(TLS_client_method()));
        EXPECT_EQ(
            SSL_CTX_load_verify_locations(context.get(), (dir_ + "/cert.pem").c_str(), nullptr), 1);
        SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
        CFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        // A safety net against a server that never answers, not a measured time.
        const timeval patience{60, 0};
        setsockopt(socket.Get(), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ADD_FAILURE() << "cannot connect to port " << port;
            return "";
        }
        SslPtr ssl(SSL_new(context.get()));
        SSL_set_fd(ssl.get(), socket.Get());
        SSL_set_tlsext_host_name(ssl.get(), kHost);
        SSL_set1_host(ssl.get(), kHost);
        if (SSL_connect(ssl.get()) != 1) {
            ADD_FAILURE() << "the TLS handshake failed";
            return "";
        }
        EXPECT_EQ(SSL_write(ssl.get(), request.data(), static_cast<int>(request.size())),
                  static_cast<int>(request.size()));
        std::string answer;
        char buffer[4096];
        for (int count; (count = SSL_read(ssl.get(), buffer, sizeof buffer)) > 0;) {
            answer.append(buffer, static_cast<std::size_t>(count));
        }
        return answer;
    }

    std::string dir_;
    CGatewayRouter router_{MakeGateways()};
    std::unique_ptr<CRequestLog> log_;
    std::unique_ptr<CServer> server_;
    std::thread runner_;
};

TEST_F(Server, AnswersTheGatewayAndTheOddListenerAndLogsBothVerbatim) {
    const std::string payment =
        "GET /gateway/transact.dll?x_login=abc&x_tran_key=k&x_delim_data=TRUE&x_delim_char=%7C"
        "&x_amount=1.00&x_card_num=4111111111111111&x_exp_date=1299 HTTP/1.0\r\n"
        "User-Agent: sandbox-test\r\n"
        "Host: secure.authorize.net\r\n"
        "X-Order: 1\r\n"
        "\r\n";
    const std::string answer = Exchange(PortOf(server_->ListenAddress()), payment);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\nDate: ", 0), 0u) << answer;
    EXPECT_NE(answer.find("\r\nServer: Microsoft-IIS/10.0\r\nContent-Type: text/html\r\n"
                          "Content-Length: "),
              std::string::npos)
        << answer;
    EXPECT_NE(answer.find("Connection: close\r\n\r\n1|1|1|This transaction has been approved.|"),
              std::string::npos)
        << answer;

    const std::string odd = "GET /nul?x_login=abc HTTP/1.1\r\nHost: secure.authorize.net\r\n\r\n";
    const std::string nul = Exchange(PortOf(server_->OddListenAddress()), odd);
    static constexpr char kTail[] = "Content-Length: 7\r\nConnection: close\r\n\r\nabc\0def";
    const std::string tail(kTail, sizeof kTail - 1);
    ASSERT_GE(nul.size(), tail.size()) << nul;
    EXPECT_EQ(nul.substr(nul.size() - tail.size()), tail);

    EXPECT_EQ(ReadFile(dir_ + "/requests.log"), FormatLogEntry(payment) + FormatLogEntry(odd));
}

TEST_F(Server, RefusesAnUnknownHostAndStillLogsTheRequest) {
    const std::string request =
        "POST /gateway/transact.dll HTTP/1.1\r\nHost: www.example.com\r\nContent-Length: 3\r\n"
        "\r\nabc";
    const std::string answer = Exchange(PortOf(server_->ListenAddress()), request);
    EXPECT_EQ(answer.rfind("HTTP/1.1 421 Misdirected Request\r\n", 0), 0u) << answer;
    EXPECT_EQ(ReadFile(dir_ + "/requests.log"), FormatLogEntry(request));
}

TEST_F(Server, AnswersAMalformedRequestWithItsStatus) {
    const std::string request = "GET / HTTP/1.1\r\n\r\n";
    const std::string answer = Exchange(PortOf(server_->ListenAddress()), request);
    EXPECT_EQ(answer.rfind("HTTP/1.1 400 Bad Request\r\n", 0), 0u) << answer;
    EXPECT_EQ(ReadFile(dir_ + "/requests.log"), FormatLogEntry(request));
}

TEST(ServerSetUp, FailsWithAClearReasonOnABadCertificate) {
    const CGatewayRouter router(MakeGateways());
    CRequestLog log("/dev/null");
    SServerConfig config;
    config.certFile = "/nonexistent/cert.pem";
    config.keyFile = "/nonexistent/key.pem";
    config.listen = "127.0.0.1:0";
    config.oddListen = "127.0.0.1:0";
    try {
        CServer server(config, router, log);
        ADD_FAILURE() << "a server without a certificate was made";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("/nonexistent/cert.pem"), std::string::npos)
            << error.what();
    }
}

}  // namespace
}  // namespace pgv::sandbox
