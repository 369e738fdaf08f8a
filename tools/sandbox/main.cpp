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
    "               [--odd-listen ADDRESS:PORT] [--ready-file FILE]\n";

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
