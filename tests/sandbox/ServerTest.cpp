#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "Support.h"
#include "sandbox/Server.h"

namespace pgv::sandbox {
namespace {

using Session = std::unique_ptr<SSL_SESSION, decltype(&SSL_SESSION_free)>;

// One request over a TLS connection verified against the certificate, resuming `session` when it
// holds one and keeping the connection's session there; all the server sent.
std::string Exchange(const std::string& address, const std::string& certPath,
                     const std::string& request, Session& session) {
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()),
                                                              SSL_CTX_free);
    EXPECT_EQ(SSL_CTX_load_verify_locations(context.get(), certPath.c_str(), nullptr), 1);
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    std::unique_ptr<BIO, decltype(&BIO_free_all)> tls(BIO_new_ssl_connect(context.get()),
                                                      BIO_free_all);
    SSL* ssl = nullptr;
    BIO_get_ssl(tls.get(), &ssl);
    SSL_set1_host(ssl, "secure.authorize.net");
    if (session) {
        SSL_set_session(ssl, session.get());
    }
    BIO_set_conn_hostname(tls.get(), address.c_str());
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

// The log tells a resumed session from a new one: a client's second connection resumes the first's.
TEST(Server, AnswersOverTlsAndAppendsTheRequestToTheLog) {
    char pattern[] = "/tmp/pgv-sandbox-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    SServerConfig config;
    config.certFile = dir + "/cert.pem";
    config.keyFile = dir + "/key.pem";
    config.listen = config.oddListen = "127.0.0.1:0";
    // A throwaway self-signed certificate for the gateway host.
    const std::string makeCertificate =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 -subj "
        "/CN=secure.authorize.net -keyout " +
        config.keyFile + " -out " + config.certFile + " 2>/dev/null";
    EXPECT_EQ(std::system(makeCertificate.c_str()), 0);
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
