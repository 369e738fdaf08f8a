// The TLS front of the sandbox: a gateway listener routed by Host, an "odd answers" listener for
// transport edge cases, and listeners of their own for what goes wrong before a request can be
// read. One thread per connection, each joined before Run() returns.
#ifndef PAYGROVE_SANDBOX_SERVER_H
#define PAYGROVE_SANDBOX_SERVER_H

#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
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

// What a listener does with each connection it accepts.
enum class EListenerKind {
    Gateway,         // the gateways, routed by Host
    Odd,             // odd answers by path, over its own certificate when it names one
    Tls10,           // odd answers, over TLS 1.0 and nothing newer
    Rotating,        // odd answers; /certificate/rotated swaps in its own certificate
    ResetOnAccept,   // resets the connection as soon as it is accepted
    StallHandshake,  // reads the client's hello and never answers it
    PlainHttp,       // answers the client's hello with a plain HTTP 200
    TlsAlert,        // answers the client's hello with a fatal handshake_failure alert
    LateHandshake,   // odd answers, its handshake begun only kLateHandshakeDelay after accepting
    KeepAlive,       // answers "ok" and keeps the connection, then drops the next request on it
};

// Just longer than a time-out of 3 s, as a server that is slow to start TLS can be.
inline constexpr std::chrono::seconds kLateHandshakeDelay{4};

struct SListenerConfig {
    EListenerKind kind = EListenerKind::Odd;
    std::string listen;
    // Odd: the certificate presented instead of the server's. Rotating: the one it rotates to.
    std::string certFile;
    std::string keyFile;
};

struct SServerConfig {
    std::string certFile;
    std::string keyFile;
    std::string listen = "127.0.0.1:443";
    std::string oddListen = "127.0.0.1:8443";
    std::vector<SListenerConfig> listeners;
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
    // The address each of config.listeners is bound to, in their order.
    std::vector<std::string> ListenerAddresses() const;

    // Serves until Stop(); every connection thread has ended when it returns.
    void Run();
    // Async-signal-safe, callable from any thread, also before Run().
    void Stop() noexcept;

private:
    struct SListener {
        SListenerConfig config;
        CFd socket;
        std::uint16_t port = 0;
        // Replaced whole by a rotation: a connection keeps the context it was accepted with.
        std::shared_ptr<SSL_CTX> tls;
    };

    struct SWorker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void AcceptAll(SListener& listener);
    void Serve(CFd socket, EListenerKind kind, const std::shared_ptr<SSL_CTX>& tls);
    // Each rotating listener gets a new context, as a restarted server has: the certificate
    // asked for and new session-ticket keys.
    void SwitchCertificates(bool rotated);
    std::string AddressOf(const SListener& listener) const;
    void ReapFinished();
    void JoinAll();

    SServerConfig config_;
    const CGatewayRouter& router_;
    CRequestLog& log_;
    CFd stop_;
    // The gateway listener, the odd one, then config_.listeners in their order.
    std::vector<SListener> listeners_;
    std::mutex tlsMutex_;
    std::vector<SWorker> workers_;
};

}  // namespace pgv::sandbox

#endif
