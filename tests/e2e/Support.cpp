#include "Support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        ADD_FAILURE() << name << " is not set: run the end-to-end tests through tools/isolated-run";
        return std::string();
    }
    return value;
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Decodes the JSON string that starts at `at` (its opening quote).
std::string JsonString(const std::string& line, size_t at) {
    std::string text;
    for (size_t i = at + 1; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] != '\\') {
            text += line[i];
            continue;
        }
        const char escaped = line[++i];
        switch (escaped) {
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case 't':
                text += '\t';
                break;
            case 'u':
                text += static_cast<char>(std::stoi(line.substr(i + 1, 4), nullptr, 16));
                i += 4;
                break;
            default:
                text += escaped;
        }
    }
    return text;
}

}  // namespace

std::filesystem::path BinDir() {
    return Env("PGV_BIN_DIR");
}

int OddPort() {
    return std::stoi(Env("PGV_ODD_PORT"));
}

CTempDir::CTempDir() {
    static std::atomic<int> counter{0};
    m_Path = std::filesystem::temp_directory_path() /
             ("pgv-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(m_Path);
}

CTempDir::~CTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_Path, ignored);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

std::string TransactionScript(const std::string& portal, const std::string& parameters,
                              const std::vector<std::string>& fields) {
    std::string script = "PGV_SelectPortal ( " + Quoted(portal) +
                         " )\nPGV_BeginTransaction\nPGV_SetParameters ( " + Quoted(parameters) +
                         " )\nPGV_SendTransaction\n";
    for (const std::string& field : fields) {
        script += "PGV_GetResult ( " + Quoted(field) + " )\n";
    }
    return script;
}

SHostRun RunHost(const std::string& script, const std::vector<std::string>& extraArgs) {
    CTempDir dir;
    WriteFile(dir.Path() / "script.txt", script);
    std::string command = ShellQuoted((BinDir() / "fmhost").string()) + " --json";
    for (const std::string& arg : extraArgs) {
        command += " " + ShellQuoted(arg);
    }
    command += " " + ShellQuoted((dir.Path() / "script.txt").string()) + " > " +
               ShellQuoted((dir.Path() / "out").string()) + " 2> " +
               ShellQuoted((dir.Path() / "err").string()) + " < /dev/null";
    SHostRun run;
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream out(ReadFile(dir.Path() / "out"));
    for (std::string line; std::getline(out, line);) {
        run.lines.push_back(line);
    }
    run.errors = ReadFile(dir.Path() / "err");
    EXPECT_EQ(run.errors.find("Sanitizer"), std::string::npos) << run.errors;
    return run;
}

std::optional<std::string> SHostRun::Result(size_t call) const {
    // Line 0 is the start-up answer.
    if (call + 1 >= lines.size()) {
        ADD_FAILURE() << "no output for call " << call << "; stderr: " << errors;
        return std::nullopt;
    }
    const std::string& line = lines[call + 1];
    const size_t at = line.find(",\"result\":");
    if (at == std::string::npos || line.compare(at + 10, 4, "null") == 0) {
        return std::nullopt;
    }
    return JsonString(line, at + 10);
}

int SHostRun::Error(size_t call) const {
    if (call + 1 >= lines.size()) {
        ADD_FAILURE() << "no output for call " << call << "; stderr: " << errors;
        return -1;
    }
    const std::string& line = lines[call + 1];
    const size_t at = line.find(",\"error\":");
    return at == std::string::npos ? -1 : std::stoi(line.substr(at + 9));
}

std::vector<SReceivedRequest> ReceivedRequests() {
    const std::string log = ReadFile(Env("PGV_SANDBOX_LOG"));
    const std::string marker = "@@ request ";
    std::vector<SReceivedRequest> requests;
    size_t at = 0;
    while (log.compare(at, marker.size(), marker) == 0) {
        const size_t lineEnd = log.find('\n', at);
        const size_t size = std::stoul(log.substr(at + marker.size(), lineEnd - at));
        const std::string raw = log.substr(lineEnd + 1, size);
        at = lineEnd + 1 + size + 1;

        SReceivedRequest request;
        const size_t headEnd = raw.find("\r\n\r\n");
        std::istringstream head(raw.substr(0, headEnd));
        std::getline(head, request.requestLine);
        request.requestLine.pop_back();
        for (std::string line; std::getline(head, line);) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            request.headers.push_back(line);
        }
        if (headEnd != std::string::npos) {
            request.body = raw.substr(headEnd + 4);
        }
        requests.push_back(request);
    }
    return requests;
}

std::vector<SReceivedRequest> RequestsSince(size_t skip) {
    std::vector<SReceivedRequest> all = ReceivedRequests();
    return std::vector<SReceivedRequest>(all.begin() + std::min(skip, all.size()), all.end());
}
