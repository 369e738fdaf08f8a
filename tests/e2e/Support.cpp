#include "Support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "LogScan.h"

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        ADD_FAILURE() << name << " is not set: run the end-to-end tests through tools/isolated-run";
        return std::string();
    }
    return value;
}

// A generous bound: a host run takes well under a second, a time-out test a few seconds.
constexpr char kHostTimeLimit[] = "60";
// After the time limit, a host that ignores its termination signal is killed this much later.
constexpr char kHostKillGrace[] = "10";
constexpr int kTimedOut = 124;

}  // namespace

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string CommandOutput(const std::string& command) {
    CTempDir dir;
    const std::filesystem::path out = dir.Path() / "out";
    EXPECT_EQ(std::system((command + " > " + ShellQuoted(out.string())).c_str()), 0) << command;
    return ReadFile(out);
}

namespace {

enum class EPlatform { Linux, Windows, MacLine };

EPlatform Platform() {
    const char* platform = std::getenv("PGV_PLATFORM");
    if (platform == nullptr || std::string(platform) == "linux") {
        return EPlatform::Linux;
    }
    if (std::string(platform) == "mac") {
        return EPlatform::MacLine;
    }
    EXPECT_STREQ(platform, "windows") << "PGV_PLATFORM names no platform the tests know";
    return EPlatform::Windows;
}

}  // namespace

bool OnWindows() {
    return Platform() == EPlatform::Windows;
}

bool OnMacLine() {
    return Platform() == EPlatform::MacLine;
}

std::string PluginFileName() {
    return OnWindows() ? Env("PGV_PLUGIN_FILE") : "Paygrove.fmx";
}

std::string OsName() {
    switch (Platform()) {
        case EPlatform::Windows:
            return "Windows";
        case EPlatform::MacLine:
            return "Max OS X";
        case EPlatform::Linux:
            break;
    }
    return "Linux";
}

std::string HttpVersion() {
    return OnMacLine() ? "HTTP/1.1" : "HTTP/1.0";
}

std::string OpeningLog(const std::string& urlAndRequest) {
    return OnMacLine() ? "Name=User-Agent-Value=Tenvale Paygrove\nName=Connection-Value=close\n"
                         "Opening connection\n"
                       : "Opening connection to " + urlAndRequest + "\n";
}

std::vector<std::string> ExpectedHeaders(const std::string& host,
                                         const std::vector<std::string>& customHeaders,
                                         std::optional<size_t> bodySize) {
    std::vector<std::string> own = customHeaders;
    if (!OnMacLine()) {
        own.push_back("Accept: text/*");
    }
    own.push_back("User-Agent: Tenvale Paygrove");
    own.push_back("Connection: close");
    std::vector<std::string> headers;
    if (OnWindows()) {
        headers = own;
        headers.push_back("Host: " + host);
        if (bodySize) {
            headers.push_back("Content-Length: " + std::to_string(*bodySize));
            headers.push_back("Cache-Control: no-cache");
        }
        return headers;
    }
    headers.push_back("Host: " + host);
    headers.insert(headers.end(), own.begin(), own.end());
    if (bodySize) {
        headers.push_back("Content-Length: " + std::to_string(*bodySize));
    }
    return headers;
}

std::string BareHeader(const std::string& name) {
    return name + (OnWindows() ? ": " : ":");
}

std::string LogLineEnds(const std::string& text) {
    if (!OnWindows()) {
        return text;
    }
    std::string converted;
    for (char c : text) {
        if (c == '\n') {
            converted += '\r';
        }
        converted += c;
    }
    return converted;
}

std::string ExportedFunctions(const std::filesystem::path& plugin) {
    if (OnWindows()) {
        // The export table's names follow the line "[Ordinal/Name Pointer] Table", one a line,
        // until a blank line.
        return CommandOutput("x86_64-w64-mingw32-objdump -p " + ShellQuoted(plugin.string()) +
                             " | awk '/^\\[Ordinal\\/Name Pointer\\] Table/ { names = 1; next }"
                             " names && /^$/ { exit } names { print $NF }'");
    }
    return CommandOutput("nm -D --defined-only " + ShellQuoted(plugin.string()) +
                         " | awk '{print $3}'");
}

std::filesystem::path BinDir() {
    return Env("PGV_BIN_DIR");
}

int OddPort() {
    return std::stoi(Env("PGV_ODD_PORT"));
}

std::string MachineAddress() {
    return Env("PGV_MACHINE_ADDRESS");
}

int ListenerPort(const char* variable) {
    return std::stoi(Env(variable));
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

std::vector<std::string> TransactionLogs(const std::filesystem::path& path) {
    const std::string log = ReadFile(path);
    const std::string start = LogLineEnds("\n--Parameters\n");
    std::vector<std::string> transactions;
    for (size_t at = log.find(start); at != std::string::npos;) {
        const size_t next = log.find(start, at + start.size());
        transactions.push_back(log.substr(at, next - at));
        at = next;
    }
    return transactions;
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
        // A line feed would end the script's line, and fmhost refuses a zero byte in one.
        if (c == '\n' || c == '\0') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            quoted += escape;
        } else {
            quoted += c;
        }
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

namespace {

// The command that runs fmhost --json on `script`, its standard error into `errors`.
std::string HostCommand(const std::filesystem::path& script,
                        const std::vector<std::string>& extraArgs,
                        const std::filesystem::path& errors) {
    std::string command =
        std::string("timeout --kill-after=") + kHostKillGrace + " " + kHostTimeLimit + " ";
    const std::string launcher = Env("PGV_HOST_LAUNCHER");
    if (!launcher.empty()) {
        command += ShellQuoted(launcher) + " ";
    }
    command +=
        ShellQuoted((BinDir() / (OnWindows() ? "fmhost.exe" : "fmhost")).string()) + " --json";
    for (const std::string& arg : extraArgs) {
        command += " " + ShellQuoted(arg);
    }
    return command + " " + ShellQuoted(script.string()) + " 2> " + ShellQuoted(errors.string()) +
           " < /dev/null";
}

// Every log the run may have written: the transaction logs its script names, and the process
// log beside the plug-in it loaded.
std::vector<std::filesystem::path> LogsOf(const std::string& script,
                                          const std::vector<std::string>& extraArgs) {
    std::vector<std::filesystem::path> logs = NoteScript(script);
    std::filesystem::path plugin = BinDir() / PluginFileName();
    for (size_t i = 0; i + 1 < extraArgs.size(); ++i) {
        if (extraArgs[i] == "--plugin") {
            plugin = extraArgs[i + 1];
        }
    }
    logs.push_back(plugin.parent_path() / "Quilla.log");
    return logs;
}

// What a run of the host left: its exit code and its standard error.
void Finish(SHostRun& run, int status, const std::filesystem::path& errors) {
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.errors = ReadFile(errors);
}

// Wine now and then ends a program with a failing exit code and nothing on its standard error, at
// no step of the program's: a few runs in a thousand here, under load. No failure of ours is
// silent: fmhost names every error it exits with, and Wine reports an exception nobody handled on
// the err:seh channel isolated-run leaves on. Such a run tells nothing of the plug-in.
bool WineEndedSilently(const SHostRun& run) {
    return OnWindows() && run.exitCode > 0 && run.exitCode != kTimedOut && run.errors.empty();
}

// The run that counts: `runOnce` again if Wine ended the first silently, the test's output noting
// it; then every run's checks, and its logs read for secrets once.
template <typename RunOnce>
SHostRun RunCounted(RunOnce runOnce, const std::vector<std::filesystem::path>& logs) {
    SHostRun run = runOnce();
    if (WineEndedSilently(run)) {
        std::cerr << "fmhost under Wine ended with exit code " << run.exitCode << " after "
                  << run.lines.size() << " lines, saying nothing: run once more\n";
        run = runOnce();
    }
    EXPECT_NE(run.exitCode, kTimedOut) << "fmhost ran for over " << kHostTimeLimit << " s";
    EXPECT_EQ(run.errors.find("Sanitizer"), std::string::npos) << run.errors;
    for (const std::filesystem::path& log : logs) {
        ScanLog(log);
    }
    return run;
}

SHostRun RunHostOnce(const std::string& script, const std::vector<std::string>& extraArgs) {
    CTempDir dir;
    WriteFile(dir.Path() / "script.txt", script);
    const std::string command =
        HostCommand(dir.Path() / "script.txt", extraArgs, dir.Path() / "err") + " > " +
        ShellQuoted((dir.Path() / "out").string());
    SHostRun run;
    const int status = std::system(command.c_str());
    std::istringstream out(ReadFile(dir.Path() / "out"));
    for (std::string line; std::getline(out, line);) {
        run.lines.push_back(line);
    }
    Finish(run, status, dir.Path() / "err");
    return run;
}

SHostRun RunHostTimedOnce(const std::string& script) {
    CTempDir dir;
    WriteFile(dir.Path() / "script.txt", script);
    const std::string command = HostCommand(dir.Path() / "script.txt", {}, dir.Path() / "err");
    SHostRun run;
    const auto start = std::chrono::steady_clock::now();
    std::FILE* out = ::popen(command.c_str(), "r");
    if (out == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return run;
    }
    std::string line;
    for (int c; (c = std::fgetc(out)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        run.lines.push_back(line);
        run.lineSeconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        line.clear();
    }
    Finish(run, ::pclose(out), dir.Path() / "err");
    return run;
}

}  // namespace

SHostRun RunHost(const std::string& script, const std::vector<std::string>& extraArgs) {
    const std::vector<std::filesystem::path> logs = LogsOf(script, extraArgs);
    return RunCounted([&] { return RunHostOnce(script, extraArgs); }, logs);
}

SHostRun RunHostTimed(const std::string& script) {
    const std::vector<std::filesystem::path> logs = LogsOf(script, {});
    return RunCounted([&] { return RunHostTimedOnce(script); }, logs);
}

nlohmann::ordered_json Json(const std::string& line) {
    nlohmann::ordered_json json = nlohmann::ordered_json::parse(line, nullptr, false);
    if (json.is_discarded()) {
        ADD_FAILURE() << "not JSON: " << line;
        return nullptr;
    }
    return json;
}

std::optional<nlohmann::ordered_json> SHostRun::Call(size_t call) const {
    // Line 0 is the start-up answer.
    if (call + 1 >= lines.size()) {
        ADD_FAILURE() << "no output for call " << call << " (" << lines.size()
                      << " lines, exit code " << exitCode << "); stderr: " << errors;
        return std::nullopt;
    }
    nlohmann::ordered_json line = Json(lines[call + 1]);
    if (!line.is_object()) {
        return std::nullopt;
    }
    return line;
}

std::optional<std::string> SHostRun::Result(size_t call) const {
    const std::optional<nlohmann::ordered_json> line = Call(call);
    if (!line || !line->contains("result") || (*line)["result"].is_null()) {
        return std::nullopt;
    }
    return (*line)["result"].get<std::string>();
}

double SHostRun::Seconds(size_t call) const {
    // Line 0 is the start-up answer, so the call's own line is call + 1.
    if (call + 1 >= lineSeconds.size()) {
        ADD_FAILURE() << "no time for call " << call;
        return 0;
    }
    return lineSeconds[call + 1] - lineSeconds[call];
}

int SHostRun::Error(size_t call) const {
    const std::optional<nlohmann::ordered_json> line = Call(call);
    return line && line->contains("error") ? (*line)["error"].get<int>() : -1;
}

std::vector<SReceivedRequest> ReceivedRequests() {
    const std::string log = ReadFile(Env("PGV_SANDBOX_LOG"));
    const std::string marker = "@@ request ";
    std::vector<SReceivedRequest> requests;
    size_t at = 0;
    while (log.compare(at, marker.size(), marker) == 0) {
        const size_t lineEnd = log.find('\n', at);
        // "SIZE", or "SIZE resumed" for a request that came over a resumed TLS session.
        const std::string entry = log.substr(at + marker.size(), lineEnd - at - marker.size());
        const size_t size = std::stoul(entry);
        const std::string raw = log.substr(lineEnd + 1, size);
        at = lineEnd + 1 + size + 1;

        SReceivedRequest request;
        request.resumed = entry.find(" resumed") != std::string::npos;
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
