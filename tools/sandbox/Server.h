// The TLS front of the sandbox: a gateway listener routed by Host, and an "odd answers" listener
// for transport edge cases. One thread per connection, each joined before Run() returns.
#ifndef PAYGROVE_SANDBOX_SERVER_H
#define PAYGROVE_SANDBOX_SERVER_H

#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sandbox/Gateway.h"
#include "sandbox/RequestLog.h"

namespace pgv::sandbox {

class CFd {
public:
    CFd() = default;
    explicit CFd(int fd) : fd_(fd) {}
    CFd(CFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    CFd& operator=(CFd&& other) noexcept;
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    ~CFd();

    int Get() const { return fd_; }

private:
    int fd_ = -1;
};

struct SServerConfig {
    std::string certFile;
    std::string keyFile;
    std::string listen = "127.0.0.1:443";
    std::string oddListen = "127.0.0.1:8443";
    std::chrono::milliseconds readTimeout = std::chrono::seconds(30);
    std::size_t maxConnections = 256;
};

class CServer {
public:
    // Loads the certificate and binds both listeners; throws std::runtime_error with a one-line
    // reason when either fails.
    CServer(SServerConfig config, const CGatewayRouter& router, CRequestLog& log);
    CServer(const CServer&) = delete;
    CServer& operator=(const CServer&) = delete;
    ~CServer();

    std::string ListenAddress() const;
    std::string OddListenAddress() const;

    // Serves until Stop(); every connection thread has ended when it returns.
    void Run();
    // Async-signal-safe, callable from any thread, also before Run().
    void Stop() noexcept;

private:
    enum class EListener { Gateway, Odd };

    struct SSslCtxFree {
        void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
    };

    struct SWorker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void AcceptAll(const CFd& listener, EListener which);
    void Serve(CFd socket, EListener which);
    void ReapFinished();
    void JoinAll();

    SServerConfig config_;
    const CGatewayRouter& router_;
    CRequestLog& log_;
    std::unique_ptr<SSL_CTX, SSslCtxFree> tls_;
    CFd stop_;
    CFd gatewayListener_;
    CFd oddListener_;
    std::uint16_t gatewayPort_ = 0;
    std::uint16_t oddPort_ = 0;
    std::vector<SWorker> workers_;
};

}  // namespace pgv::sandbox

#endif
