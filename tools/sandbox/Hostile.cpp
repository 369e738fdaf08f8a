#include "sandbox/Hostile.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>

#include "sandbox/OddAnswers.h"

namespace pgv::sandbox {

namespace {

using Clock = std::chrono::steady_clock;

// A client that never hangs up is let go after this; the tests' time-outs are far shorter.
constexpr std::chrono::seconds kHoldFor{120};
// How long the client has to send its hello before the answer goes anyway.
constexpr std::chrono::seconds kHelloWait{5};
// A TLS record: alert, version 3.3 (TLS 1.2), two bytes long; fatal, handshake_failure.
constexpr std::string_view kHandshakeFailureAlert("\x15\x03\x03\x00\x02\x02\x28", 7);

enum class EWait { Readable, TimedOut, Stopped };

EWait WaitReadable(int socket, int stopFd, Clock::time_point deadline) {
    pollfd fds[2] = {{socket, POLLIN, 0}, {stopFd, POLLIN, 0}};
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return EWait::TimedOut;
        }
        const int ready = poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            return EWait::Stopped;
        }
        if (ready > 0) {
            return fds[1].revents != 0 ? EWait::Stopped : EWait::Readable;
        }
    }
}

// Reads what the client sends until it hangs up, the deadline passes or the server stops; true
// when something arrived.
bool Drain(int socket, int stopFd, Clock::time_point deadline, bool untilFirstBytes) {
    bool received = false;
    char buffer[4096];
    while (WaitReadable(socket, stopFd, deadline) == EWait::Readable) {
        const ssize_t count = ::recv(socket, buffer, sizeof buffer, 0);
        if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR)) {
            break;
        }
        received = received || count > 0;
        if (received && untilFirstBytes) {
            break;
        }
    }
    return received;
}

void SendAll(int socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

// Answers the client's hello, then waits for it to hang up, so that the answer is not lost to
// a reset caused by hello bytes still unread.
void AnswerHello(int socket, int stopFd, std::string_view answer) {
    Drain(socket, stopFd, Clock::now() + kHelloWait, true);
    SendAll(socket, answer);
    ::shutdown(socket, SHUT_WR);
    Drain(socket, stopFd, Clock::now() + kHelloWait, false);
}

}  // namespace

void ServeHostile(EListenerKind kind, int socket, int stopFd, std::time_t now) {
    switch (kind) {
        case EListenerKind::ResetOnAccept: {
            // Closing with a zero linger time sends a reset instead of a FIN.
            const linger abort{1, 0};
            setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            return;
        }
        case EListenerKind::StallHandshake:
            Drain(socket, stopFd, Clock::now() + kHoldFor, false);
            return;
        case EListenerKind::PlainHttp: {
            SHttpRequest ok;
            ok.path = "/ok";
            AnswerHello(socket, stopFd, OddAnswer(ok, now).bytes);
            return;
        }
        case EListenerKind::TlsAlert:
            AnswerHello(socket, stopFd, kHandshakeFailureAlert);
            return;
        default:
            return;
    }
}

}  // namespace pgv::sandbox
