#include "sandbox/Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <iostream>
#include <optional>
#include <stdexcept>

#include "sandbox/Hostile.h"
#include "sandbox/OddAnswers.h"

namespace pgv::sandbox {

namespace {

using Clock = std::chrono::steady_clock;

// After the answer, unread request bytes still arriving would make the kernel reset the
// connection and could destroy the answer in flight; so they are drained for this long.
constexpr std::chrono::seconds kLinger{2};
// Before a reset, so that the client has taken in what was sent before the reset destroys it.
constexpr std::chrono::milliseconds kBeforeReset{200};

std::string LastSslError() {
    char text[256];
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return text;
}

CFd Listen(const std::string& address, std::uint16_t& boundPort) {
    const std::size_t colon = address.rfind(':');
    const std::string host = address.substr(0, colon);
    const std::string port = colon == std::string::npos ? "" : address.substr(colon + 1);
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    const bool portValid = !port.empty() && port.size() <= 5 &&
                           port.find_first_not_of("0123456789") == std::string::npos &&
                           std::stoi(port) <= 65535;
    if (!portValid || inet_pton(AF_INET, host.c_str(), &socketAddress.sin_addr) != 1) {
        throw std::runtime_error("the listen address \"" + address + "\" is not IPv4-ADDRESS:PORT");
    }
    socketAddress.sin_port = htons(static_cast<std::uint16_t>(std::stoi(port)));
    CFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int on = 1;
    if (socket.Get() < 0 ||
        setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(socket.Get(), reinterpret_cast<const sockaddr*>(&socketAddress),
             sizeof socketAddress) != 0 ||
        listen(socket.Get(), SOMAXCONN) != 0) {
        throw std::runtime_error("cannot listen on " + address + ": " + std::strerror(errno));
    }
    socklen_t length = sizeof socketAddress;
    getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&socketAddress), &length);
    boundPort = ntohs(socketAddress.sin_port);
    return socket;
}

enum class EIo { Ok, Closed, TimedOut, Stopped };

// A TLS connection over a non-blocking socket, so that every wait also watches the server's
// stop event and a deadline.
class CTlsStream {
public:
    CTlsStream(SSL_CTX* ctx, CFd socket, int stopFd)
        : socket_(std::move(socket)), ssl_(SSL_new(ctx)), stopFd_(stopFd) {
        if (ssl_) {
            SSL_set_fd(ssl_.get(), socket_.Get());
        }
    }

    bool Valid() const { return ssl_ != nullptr; }
    bool Resumed() const { return SSL_session_reused(ssl_.get()) == 1; }

    EIo Handshake(Clock::time_point deadline) {
        return Drive([this] { return SSL_accept(ssl_.get()); }, deadline);
    }

    EIo Read(std::string& out, Clock::time_point deadline) {
        char buffer[16 * 1024];
        int count = 0;
        const EIo io = Drive(
            [&] {
                count = SSL_read(ssl_.get(), buffer, sizeof buffer);
                return count;
            },
            deadline);
        if (io == EIo::Ok) {
            out.append(buffer, static_cast<std::size_t>(count));
        }
        return io;
    }

    EIo Write(std::string_view data, Clock::time_point deadline) {
        while (!data.empty()) {
            const int chunk = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 20));
            int written = 0;
            const EIo io = Drive(
                [&] {
                    written = SSL_write(ssl_.get(), data.data(), chunk);
                    return written;
                },
                deadline);
            if (io != EIo::Ok) {
                return io;
            }
            data.remove_prefix(static_cast<std::size_t>(written));
        }
        return EIo::Ok;
    }

    // Reads and discards until the peer closes, the deadline passes or the server stops.
    EIo AwaitPeerClose(Clock::time_point deadline) {
        EIo io = EIo::Ok;
        while (io == EIo::Ok) {
            std::string ignored;
            io = Read(ignored, deadline);
        }
        return io;
    }

    EIo Pause(std::chrono::milliseconds duration) {
        pollfd stop{stopFd_, POLLIN, 0};
        const Clock::time_point deadline = Clock::now() + duration;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return EIo::Ok;
            }
            const int ready = poll(&stop, 1, static_cast<int>(left.count()));
            if (ready > 0) {
                return EIo::Stopped;
            }
        }
    }

    // Resets the connection; the socket closes with the stream.
    void Reset() {
        Pause(kBeforeReset);
        const linger abort{1, 0};
        setsockopt(socket_.Get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }

    void Close() {
        ERR_clear_error();
        SSL_shutdown(ssl_.get());
        ::shutdown(socket_.Get(), SHUT_WR);
        const Clock::time_point deadline = Clock::now() + kLinger;
        char buffer[4096];
        while (WaitFor(POLLIN, deadline) == EIo::Ok) {
            const ssize_t count = ::recv(socket_.Get(), buffer, sizeof buffer, 0);
            if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR)) {
                return;
            }
        }
    }

private:
    struct SSslFree {
        void operator()(SSL* ssl) const { SSL_free(ssl); }
    };

    template <typename Operation>
    EIo Drive(Operation operation, Clock::time_point deadline) {
        for (;;) {
            ERR_clear_error();
            const int result = operation();
            if (result > 0) {
                return EIo::Ok;
            }
            const int error = SSL_get_error(ssl_.get(), result);
            short events = 0;
            if (error == SSL_ERROR_WANT_READ) {
                events = POLLIN;
            } else if (error == SSL_ERROR_WANT_WRITE) {
                events = POLLOUT;
            } else {
                return EIo::Closed;
            }
            if (const EIo io = WaitFor(events, deadline); io != EIo::Ok) {
                return io;
            }
        }
    }

    EIo WaitFor(short events, Clock::time_point deadline) const {
        pollfd fds[2] = {{socket_.Get(), events, 0}, {stopFd_, POLLIN, 0}};
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return EIo::TimedOut;
            }
            const int ready = poll(fds, 2, static_cast<int>(left.count()));
            if (ready < 0 && errno != EINTR) {
                return EIo::Closed;
            }
            if (ready > 0) {
                return fds[1].revents != 0 ? EIo::Stopped : EIo::Ok;
            }
        }
    }

    CFd socket_;
    std::unique_ptr<SSL, SSslFree> ssl_;
    int stopFd_;
};

void SendOdd(CTlsStream& stream, const SOddAnswer& answer, std::chrono::milliseconds timeout) {
    if (stream.Write(answer.bytes, Clock::now() + timeout) != EIo::Ok) {
        return;
    }
    for (char byte : answer.trickle) {
        if (stream.Pause(answer.trickleEvery) != EIo::Ok ||
            stream.Write(std::string_view(&byte, 1), Clock::now() + timeout) != EIo::Ok) {
            return;
        }
    }
    if (answer.holdOpen.count() > 0) {
        stream.AwaitPeerClose(Clock::now() + answer.holdOpen);
    }
    if (answer.reset) {
        stream.Reset();
    } else {
        stream.Close();
    }
}

// "ok", and the connection kept for the next request unless the client asked for it to close.
std::string KeptAliveAnswer(std::time_t now, bool closing) {
    return "HTTP/1.1 200 OK\r\nDate: " + HttpDate(now) +
           "\r\nServer: paygrove-sandbox-keep-alive\r\nContent-Type: text/plain\r\n"
           "Content-Length: 2\r\n" +
           (closing ? "Connection: close\r\n" : "") + "\r\nok";
}

// Reads one request, or what arrives of it before the connection ends or the time runs out, and
// logs what arrived; the last read's outcome.
EIo ReadRequest(CTlsStream& stream, CRequestLog& log, CRequestParser& parser,
                std::chrono::milliseconds timeout) {
    EIo io = EIo::Ok;
    while (parser.State() == EParse::NeedMore && io == EIo::Ok) {
        std::string chunk;
        io = stream.Read(chunk, Clock::now() + timeout);
        parser.Feed(chunk);
    }
    if (!parser.Received().empty()) {
        log.Append(parser.Received(), stream.Resumed());
    }
    return io;
}

// A server that keeps its connections, as HTTP/1.1 has it, and closes one as the next request
// arrives on it, as a gateway or a proxy does that drops idle connections: the first request is
// answered, the connection kept unless the request asked to close it; the next one is read,
// logged and left unanswered as the connection closes.
void ServeKeptAlive(CTlsStream& stream, CRequestLog& log, std::chrono::milliseconds timeout) {
    for (bool first = true;; first = false) {
        CRequestParser parser;
        ReadRequest(stream, log, parser, timeout);
        if (parser.Received().empty()) {
            return;
        }
        if (!first || parser.State() != EParse::Complete) {
            stream.Close();
            return;
        }
        const std::optional<std::string> connection = parser.Request().Header("Connection");
        const bool closing = connection && EqualsIgnoreCase(*connection, "close");
        if (stream.Write(KeptAliveAnswer(std::time(nullptr), closing), Clock::now() + timeout) !=
            EIo::Ok) {
            return;
        }
        if (closing) {
            stream.Close();
            return;
        }
    }
}

std::shared_ptr<SSL_CTX> MakeContext(const std::string& certFile, const std::string& keyFile,
                                     bool tls10Only) {
    std::shared_ptr<SSL_CTX> tls(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    if (!tls) {
        throw std::runtime_error("cannot set up the server: " + LastSslError());
    }
    if (tls10Only) {
        // TLS 1.0 signs the handshake with SHA-1, which only security level 0 still allows.
        SSL_CTX_set_security_level(tls.get(), 0);
        SSL_CTX_set_min_proto_version(tls.get(), TLS1_VERSION);
        SSL_CTX_set_max_proto_version(tls.get(), TLS1_VERSION);
    } else {
        SSL_CTX_set_min_proto_version(tls.get(), TLS1_2_VERSION);
    }
    if (SSL_CTX_use_certificate_chain_file(tls.get(), certFile.c_str()) != 1) {
        throw std::runtime_error("cannot load the certificate " + certFile + ": " + LastSslError());
    }
    if (SSL_CTX_use_PrivateKey_file(tls.get(), keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        throw std::runtime_error("cannot load the key " + keyFile + ": " + LastSslError());
    }
    if (SSL_CTX_check_private_key(tls.get()) != 1) {
        throw std::runtime_error("the key " + keyFile + " does not match the certificate " +
                                 certFile);
    }
    return tls;
}

bool AnswersByPath(EListenerKind kind) {
    return kind == EListenerKind::Odd || kind == EListenerKind::Tls10 ||
           kind == EListenerKind::Rotating || kind == EListenerKind::LateHandshake;
}

}  // namespace

CFd& CFd::operator=(CFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

CFd::~CFd() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

CServer::CServer(SServerConfig config, const CGatewayRouter& router, CRequestLog& log)
    : config_(std::move(config)),
      router_(router),
      log_(log),
      stop_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    // Clients of the odd listener hang up mid-answer on purpose; a write to such a socket must
    // fail with EPIPE, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    if (stop_.Get() < 0) {
        throw std::runtime_error(std::string("cannot set up the server: ") + std::strerror(errno));
    }
    const std::shared_ptr<SSL_CTX> tls = MakeContext(config_.certFile, config_.keyFile, false);
    std::vector<SListenerConfig> all = {{EListenerKind::Gateway, config_.listen, "", ""},
                                        {EListenerKind::Odd, config_.oddListen, "", ""}};
    all.insert(all.end(), config_.listeners.begin(), config_.listeners.end());
    for (const SListenerConfig& listenerConfig : all) {
        SListener listener{listenerConfig, CFd(), 0, nullptr};
        switch (listenerConfig.kind) {
            case EListenerKind::Gateway:
            case EListenerKind::Odd:
            case EListenerKind::LateHandshake:
            case EListenerKind::KeepAlive:
                listener.tls =
                    listenerConfig.certFile.empty()
                        ? tls
                        : MakeContext(listenerConfig.certFile, listenerConfig.keyFile, false);
                break;
            case EListenerKind::Tls10:
                listener.tls = MakeContext(config_.certFile, config_.keyFile, true);
                break;
            case EListenerKind::Rotating:
                // Its own context from the start, so that no other listener shares its tickets.
                listener.tls = MakeContext(config_.certFile, config_.keyFile, false);
                // Loaded once here, so that a bad certificate fails at start-up.
                MakeContext(listenerConfig.certFile, listenerConfig.keyFile, false);
                break;
            default:
                break;
        }
        listener.socket = Listen(listenerConfig.listen, listener.port);
        listeners_.push_back(std::move(listener));
    }
}

CServer::~CServer() {
    JoinAll();
}

std::string CServer::AddressOf(const SListener& listener) const {
    const std::string& address = listener.config.listen;
    return address.substr(0, address.rfind(':') + 1) + std::to_string(listener.port);
}

std::string CServer::ListenAddress() const {
    return AddressOf(listeners_[0]);
}

std::string CServer::OddListenAddress() const {
    return AddressOf(listeners_[1]);
}

std::vector<std::string> CServer::ListenerAddresses() const {
    std::vector<std::string> addresses;
    for (std::size_t i = 2; i < listeners_.size(); ++i) {
        addresses.push_back(AddressOf(listeners_[i]));
    }
    return addresses;
}

void CServer::SwitchCertificates(bool rotated) {
    std::lock_guard<std::mutex> lock(tlsMutex_);
    for (SListener& listener : listeners_) {
        if (listener.config.kind == EListenerKind::Rotating) {
            listener.tls =
                rotated ? MakeContext(listener.config.certFile, listener.config.keyFile, false)
                        : MakeContext(config_.certFile, config_.keyFile, false);
        }
    }
}

void CServer::Stop() noexcept {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(stop_.Get(), &one, sizeof one);
}

void CServer::Run() {
    struct SJoinOnExit {
        CServer& server;
        ~SJoinOnExit() {
            server.Stop();
            server.JoinAll();
        }
    } joinOnExit{*this};
    std::vector<pollfd> fds;
    for (const SListener& listener : listeners_) {
        fds.push_back({listener.socket.Get(), POLLIN, 0});
    }
    fds.push_back({stop_.Get(), POLLIN, 0});
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::runtime_error(std::string("poll failed: ") + std::strerror(errno));
        }
        if (fds.back().revents != 0) {
            return;
        }
        ReapFinished();
        for (std::size_t i = 0; i < listeners_.size(); ++i) {
            if (fds[i].revents != 0) {
                AcceptAll(listeners_[i]);
            }
        }
    }
}

void CServer::AcceptAll(SListener& listener) {
    for (;;) {
        CFd socket(accept4(listener.socket.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (socket.Get() < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            return;
        }
        if (workers_.size() >= config_.maxConnections) {
            std::cerr << "sandbox: more than " << config_.maxConnections
                      << " connections at once; one refused\n";
            continue;
        }
        std::shared_ptr<SSL_CTX> tls;
        {
            std::lock_guard<std::mutex> lock(tlsMutex_);
            tls = listener.tls;
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([this, socket = std::move(socket), kind = listener.config.kind,
                            tls = std::move(tls), done]() mutable {
            try {
                Serve(std::move(socket), kind, tls);
            } catch (const std::exception& error) {
                std::cerr << "sandbox: connection failed: " << error.what() << "\n";
            }
            done->store(true);
        });
        workers_.push_back({std::move(thread), std::move(done)});
    }
}

void CServer::ReapFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void CServer::JoinAll() {
    for (SWorker& worker : workers_) {
        worker.thread.join();
    }
    workers_.clear();
}

void CServer::Serve(CFd socket, EListenerKind kind, const std::shared_ptr<SSL_CTX>& tls) {
    if (!tls) {
        ServeHostile(kind, socket.Get(), stop_.Get(), std::time(nullptr));
        return;
    }
    if (kind == EListenerKind::LateHandshake) {
        // The client's hello waits unread; a stop ends the wait.
        pollfd stop = {stop_.Get(), POLLIN, 0};
        const auto delay =
            std::chrono::duration_cast<std::chrono::milliseconds>(kLateHandshakeDelay);
        if (poll(&stop, 1, static_cast<int>(delay.count())) != 0) {
            return;
        }
    }
    CTlsStream stream(tls.get(), std::move(socket), stop_.Get());
    const auto timeout = config_.readTimeout;
    if (!stream.Valid() || stream.Handshake(Clock::now() + timeout) != EIo::Ok) {
        return;
    }
    if (kind == EListenerKind::KeepAlive) {
        ServeKeptAlive(stream, log_, timeout);
        return;
    }
    CRequestParser parser;
    const EIo io = ReadRequest(stream, log_, parser, timeout);
    if (parser.Received().empty()) {
        return;
    }
    if (io == EIo::Stopped) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    std::string answer;
    if (parser.State() == EParse::NeedMore) {
        const bool timedOut = io == EIo::TimedOut;
        answer = SerializeResponse(
            PlainTextResponse(timedOut ? 408 : 400,
                              timedOut ? "no complete request within the read time-out"
                                       : "the connection ended inside the request",
                              kSandboxServer),
            now);
    } else if (parser.State() == EParse::Failed) {
        answer = SerializeResponse(
            PlainTextResponse(parser.Failure().status, parser.Failure().message, kSandboxServer),
            now);
    } else if (AnswersByPath(kind)) {
        const SOddAnswer odd = OddAnswer(parser.Request(), now);
        if (odd.certificate != ECertificateSwitch::None) {
            SwitchCertificates(odd.certificate == ECertificateSwitch::Rotated);
        }
        SendOdd(stream, odd, timeout);
        return;
    } else {
        answer = SerializeResponse(router_.Route(parser.Request()), now);
    }
    if (stream.Write(answer, Clock::now() + timeout) == EIo::Ok) {
        stream.Close();
    }
}

}  // namespace pgv::sandbox
