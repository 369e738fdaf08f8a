// sandbox: the payment gateways of GatewayHosts.h played on local listeners, for tests run where
// every gateway host name resolves to this machine.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "gateways/GatewayHosts.h"
#include "sandbox/Gateway.h"
#include "sandbox/RequestLog.h"
#include "sandbox/Server.h"

namespace {

using pgv::sandbox::CServer;

std::atomic<CServer*> g_server{nullptr};

void OnStopSignal(int) {
    if (CServer* server = g_server.load()) {
        server->Stop();
    }
}

// SIGTERM and SIGINT stop the server for as long as it exists.
class CStopOnSignal {
public:
    explicit CStopOnSignal(CServer& server) {
        g_server.store(&server);
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
    CStopOnSignal(const CStopOnSignal&) = delete;
    CStopOnSignal& operator=(const CStopOnSignal&) = delete;
    ~CStopOnSignal() { g_server.store(nullptr); }
};

constexpr const char* kUsage =
    "usage: sandbox --list-hosts\n"
    "       sandbox --cert FILE --key FILE --request-log FILE [--listen ADDRESS:PORT]\n"
    "               [--odd-listen ADDRESS:PORT] [--listener KIND,ADDRESS:PORT[,CERT,KEY]]...\n"
    "               [--ready-file FILE]\n"
    "KIND: odd (CERT,KEY: its own certificate), tls1.0, rotating (CERT,KEY: the certificate\n"
    "/certificate/rotated swaps in), reset, stall-handshake, plain-http, tls-alert,\n"
    "late-handshake, keep-alive\n";

using pgv::sandbox::EListenerKind;

constexpr std::pair<const char*, EListenerKind> kListenerKinds[] = {
    {"odd", EListenerKind::Odd},
    {"tls1.0", EListenerKind::Tls10},
    {"rotating", EListenerKind::Rotating},
    {"reset", EListenerKind::ResetOnAccept},
    {"stall-handshake", EListenerKind::StallHandshake},
    {"plain-http", EListenerKind::PlainHttp},
    {"tls-alert", EListenerKind::TlsAlert},
    {"late-handshake", EListenerKind::LateHandshake},
    {"keep-alive", EListenerKind::KeepAlive},
};

// KIND,ADDRESS:PORT[,CERT,KEY]: a rotating listener needs the certificate, an odd one may have
// one, no other takes one.
std::optional<pgv::sandbox::SListenerConfig> ParseListener(const std::string& text) {
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (parts.size() != 2 && parts.size() != 4) {
        return std::nullopt;
    }
    for (const auto& [name, kind] : kListenerKinds) {
        if (parts[0] != name) {
            continue;
        }
        const bool hasCertificate = parts.size() == 4;
        const bool takesCertificate = kind == EListenerKind::Odd || kind == EListenerKind::Rotating;
        if ((hasCertificate && !takesCertificate) ||
            (!hasCertificate && kind == EListenerKind::Rotating)) {
            return std::nullopt;
        }
        pgv::sandbox::SListenerConfig listener;
        listener.kind = kind;
        listener.listen = parts[1];
        if (hasCertificate) {
            listener.certFile = parts[2];
            listener.keyFile = parts[3];
        }
        return listener;
    }
    return std::nullopt;
}

struct SOptions {
    bool listHosts = false;
    pgv::sandbox::SServerConfig server;
    std::string requestLog;
    std::string readyFile;
};

std::optional<SOptions> ParseOptions(int argc, char** argv) {
    SOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--list-hosts") {
            options.listHosts = true;
            continue;
        }
        if (i + 1 >= argc) {
            return std::nullopt;
        }
        const std::string value = argv[++i];
        if (name == "--cert") {
            options.server.certFile = value;
        } else if (name == "--key") {
            options.server.keyFile = value;
        } else if (name == "--request-log") {
            options.requestLog = value;
        } else if (name == "--listen") {
            options.server.listen = value;
        } else if (name == "--odd-listen") {
            options.server.oddListen = value;
        } else if (name == "--listener") {
            const auto listener = ParseListener(value);
            if (!listener) {
                return std::nullopt;
            }
            options.server.listeners.push_back(*listener);
        } else if (name == "--ready-file") {
            options.readyFile = value;
        } else {
            return std::nullopt;
        }
    }
    const bool serving = !options.server.certFile.empty() && !options.server.keyFile.empty() &&
                         !options.requestLog.empty();
    if (options.listHosts == serving) {
        return std::nullopt;
    }
    return options;
}

// Written whole under another name and renamed, so a runner never reads half of it.
void WriteReadyFile(const std::string& path, const CServer& server) {
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << "listen " << server.ListenAddress() << "\nodd-listen " << server.OddListenAddress()
            << "\n";
        for (const std::string& address : server.ListenerAddresses()) {
            out << "listener " << address << "\n";
        }
        if (!out.flush()) {
            throw std::runtime_error("cannot write the ready file " + partial);
        }
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("cannot rename the ready file to " + path);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<SOptions> options = ParseOptions(argc, argv);
    if (!options) {
        std::cerr << kUsage;
        return 2;
    }
    if (options->listHosts) {
        for (const SGatewayHost& row : kGatewayHosts) {
            std::cout << row.host << "\n";
        }
        return 0;
    }
    try {
        pgv::sandbox::CRequestLog log(options->requestLog);
        const pgv::sandbox::CGatewayRouter router(pgv::sandbox::MakeGateways());
        CServer server(options->server, router, log);
        const CStopOnSignal stopOnSignal(server);
        if (!options->readyFile.empty()) {
            WriteReadyFile(options->readyFile, server);
        }
        server.Run();
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "sandbox: " << error.what() << "\n";
        return 1;
    }
}
