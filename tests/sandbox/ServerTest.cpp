#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Support.h"
#include "sandbox/Server.h"

namespace pgv::sandbox {
namespace {

using Session = std::unique_ptr<SSL_SESSION, decltype(&SSL_SESSION_free)>;
using Connection = std::unique_ptr<BIO, decltype(&BIO_free_all)>;

// A TLS client for `address` that verifies the server against the certificate, not yet connected.
Connection VerifyingClient(const std::string& address, const std::string& certPath) {
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()),
                                                              SSL_CTX_free);
    EXPECT_EQ(SSL_CTX_load_verify_locations(context.get(), certPath.c_str(), nullptr), 1);
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    Connection tls(BIO_new_ssl_connect(context.get()), BIO_free_all);
    BIO_set_conn_hostname(tls.get(), address.c_str());
    return tls;
}

// One request over a TLS connection verified against the certificate, resuming `session` when it
// holds one and keeping the connection's session there; all the server sent.
std::string Exchange(const std::string& address, const std::string& certPath,
                     const std::string& request, Session& session) {
    const Connection tls = VerifyingClient(address, certPath);
    SSL* ssl = nullptr;
    BIO_get_ssl(tls.get(), &ssl);
    SSL_set1_host(ssl, "secure.authorize.net");
    if (session) {
        SSL_set_session(ssl, session.get());
    }
    if (BIO_do_handshake(tls.get()) != 1) {
        ADD_FAILURE() << "no verified TLS connection to " << address;
        return "";
    }
    EXPECT_EQ(BIO_write(tls.get(), request.data(), static_cast<int>(request.size())),
              static_cast<int>(request.size()));
    std::string answer;
    char buffer[4096];
    for (int count; (count = BIO_read(tls.get(), buffer, sizeof buffer)) > 0;) {
        answer.append(buffer, static_cast<std::size_t>(count));
    }
    session.reset(SSL_get1_session(ssl));
    return answer;
}

// A server's configuration in a fresh folder: every listener on a free port, and a throwaway
// self-signed certificate for the gateway host.
SServerConfig TestConfig(const std::string& dir) {
    SServerConfig config;
    config.certFile = dir + "/cert.pem";
    config.keyFile = dir + "/key.pem";
    config.listen = config.oddListen = "127.0.0.1:0";
    const std::string makeCertificate =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 -subj "
        "/CN=secure.authorize.net -keyout " +
        config.keyFile + " -out " + config.certFile + " 2>/dev/null";
    EXPECT_EQ(std::system(makeCertificate.c_str()), 0);
    return config;
}

// The log tells a resumed session from a new one: a client's second connection resumes the first's.
TEST(Server, AnswersOverTlsAndAppendsTheRequestToTheLog) {
    char pattern[] = "/tmp/pgv-sandbox-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const SServerConfig config = TestConfig(dir);
    const CGatewayRouter router(MakeGateways());
    std::ofstream(dir + "/requests.log") << "earlier\n";
    CRequestLog log(dir + "/requests.log");
    CServer server(config, router, log);
    std::thread runner([&server] { server.Run(); });

    const std::string payment =
        "GET /gateway/transact.dll?x_login=abc&x_tran_key=k&x_delim_data=TRUE&x_delim_char=%7C"
        "&x_amount=1.00&x_card_num=4111111111111111&x_exp_date=1299 HTTP/1.0\r\n"
        "User-Agent: sandbox-test\r\nHost: secure.authorize.net\r\nX-Order: 1\r\n\r\n";
    Session session(nullptr, SSL_SESSION_free);
    for (int connection = 0; connection < 2; ++connection) {
        const std::string answer =
            Exchange(server.ListenAddress(), config.certFile, payment, session);
        EXPECT_NE(
            answer.find("\r\nConnection: close\r\n\r\n1|1|1|This transaction has been approved."),
            std::string::npos)
            << answer;
    }
    server.Stop();
    runner.join();

    std::ifstream in(dir + "/requests.log", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "earlier\n@@ request " + std::to_string(payment.size()) + "\n" + payment +
                  "\n@@ request " + std::to_string(payment.size()) + " resumed\n" + payment + "\n");
    std::filesystem::remove_all(dir);
}

// Sends each request in turn on one verified TLS connection, each after the answer to the one
// before has come whole (an answer here ends in "ok"); what the server sent after each, all of it
// for the last, up to its close.
std::vector<std::string> OnOneConnection(const std::string& address, const std::string& certPath,
                                         const std::vector<std::string>& requests) {
    const Connection tls = VerifyingClient(address, certPath);
    std::vector<std::string> answers;
    if (BIO_do_handshake(tls.get()) != 1) {
        ADD_FAILURE() << "no verified TLS connection to " << address;
        return answers;
    }
    for (size_t i = 0; i < requests.size(); ++i) {
        const std::string& request = requests[i];
        BIO_write(tls.get(), request.data(), static_cast<int>(request.size()));
        const bool last = i + 1 == requests.size();
        std::string answer;
        char buffer[4096];
        while (last || answer.size() < 2 || answer.compare(answer.size() - 2, 2, "ok") != 0) {
            const int count = BIO_read(tls.get(), buffer, sizeof buffer);
            if (count <= 0) {
                break;
            }
            answer.append(buffer, static_cast<std::size_t>(count));
        }
        answers.push_back(answer);
    }
    return answers;
}

// A kept connection's next request is read and left unanswered as the connection closes; one that
// asks for the connection to close has it closed after its answer.
TEST(Server, KeepAliveListenerDropsTheNextRequestOnAKeptConnection) {
    char pattern[] = "/tmp/pgv-sandbox-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    SServerConfig config = TestConfig(dir);
    config.listeners.push_back({EListenerKind::KeepAlive, "127.0.0.1:0", "", ""});
    const CGatewayRouter router(MakeGateways());
    CRequestLog log(dir + "/requests.log");
    CServer server(config, router, log);
    std::thread runner([&server] { server.Run(); });

    const std::string first = "GET /ok?n=1 HTTP/1.1\r\nHost: secure.authorize.net\r\n\r\n";
    const std::string next = "GET /ok?n=2 HTTP/1.1\r\nHost: secure.authorize.net\r\n\r\n";
    const std::string closing =
        "GET /ok?n=3 HTTP/1.0\r\nHost: secure.authorize.net\r\nConnection: close\r\n\r\n";
    const std::string address = server.ListenerAddresses().at(0);
    const std::vector<std::string> kept = OnOneConnection(address, config.certFile, {first, next});
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_NE(kept[0].find("HTTP/1.1 200 OK\r\n"), std::string::npos) << kept[0];
    EXPECT_NE(kept[0].find("\r\nContent-Length: 2\r\n\r\nok"), std::string::npos) << kept[0];
    EXPECT_EQ(kept[0].find("Connection"), std::string::npos) << kept[0];
    EXPECT_EQ(kept[1], "");
    const std::vector<std::string> closed = OnOneConnection(address, config.certFile, {closing});
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_NE(closed[0].find("\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok"),
              std::string::npos)
        << closed[0];
    server.Stop();
    runner.join();

    std::ifstream in(dir + "/requests.log", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              FormatLogEntry(first) + FormatLogEntry(next) + FormatLogEntry(closing));
    std::filesystem::remove_all(dir);
}

// A host no gateway owns is refused; each gateway refuses a request its real counterpart would
// not decode: a raw byte, or a broken escape, in the query or in a form body.
TEST(GatewayRouter, RefusesAnUnknownHostAndBadlyEncodedRequests) {
    const CGatewayRouter router(MakeGateways());
    const struct {
        const char* host;
        const char* target;
        int status;
        std::string part;  // of the answer's body
        const char* form = "";
    } cases[] = {
        {"www.example.com", "/", 421,
         "Misdirected Request: no gateway is served for the host \"www.example.com\"\n"},
        {"secure.authorize.net", "/gateway/transact.dll?a=b+c", 400, "query: the byte 0x2B"},
        {"secure.authorize.net", "/gateway/transact.dll", 400, "body: malformed", "a=%4"},
        {"www.secpay.com", "/java-bin/ValCard?a=b,c", 400, "query: the byte 0x2C"},
        {"secure.networkmerchants.com", "/api/transact.php", 400, "body: the byte 0x22", "a=\""},
        {"secure.rxpayments.com", "/secure/rxprocess?a=%G1", 400, "query: malformed"},
        {"www.sagepayments.net", "/cgi-bin/eftBankcard.dll?transaction", 400, "body: the byte 0x20",
         "a=1 2"},
    };
    for (const auto& c : cases) {
        const SHttpResponse response =
            router.Route(*c.form ? test::Parsed("POST", c.target, c.host, c.form, test::kForm)
                                 : test::Parsed("GET", c.target, c.host));
        EXPECT_EQ(response.status, c.status) << c.target;
        EXPECT_NE(response.body.find(c.part), std::string::npos) << response.body;
    }
}

}  // namespace
}  // namespace pgv::sandbox
