// Running the stand-in host against the plug-in and reading what the sandbox received. The
// tests run inside the isolated runner, which provides PGV_BIN_DIR, PGV_SANDBOX_LOG,
// PGV_ODD_PORT and PGV_HOST_LAUNCHER (the program that runs the host: empty on Linux,
// tools/wine-run for the Windows build). PGV_PLATFORM says which build the bin folder holds: linux
// (the default) or windows, or mac: the Mac line of the exchange over the CoreFoundation stand-in;
// for windows, PGV_PLUGIN_FILE names the plug-in (Brenmar.fmx64 or the 32-bit Brenmar.fmx).
#ifndef PAYGROVE_TESTS_E2E_SUPPORT_H
#define PAYGROVE_TESTS_E2E_SUPPORT_H

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

// A line fmhost printed, as JSON; a line that is none fails the test and reads as null.
nlohmann::ordered_json Json(const std::string& line);

struct SHostRun {
    int exitCode = -1;
    std::vector<std::string> lines;  // standard output, one JSON object per line
    std::string errors;              // standard error
    // The n-th call of the script (0-based) as fmhost printed it.
    std::optional<nlohmann::ordered_json> Call(size_t call) const;
    // Its result, null when left unset, and its error code.
    std::optional<std::string> Result(size_t call) const;
    int Error(size_t call) const;
    // When each line of standard output arrived, in seconds from the start (RunHostTimed only).
    std::vector<double> lineSeconds;
    // How long the n-th call took: from the line before its own to its own (RunHostTimed only).
    double Seconds(size_t call) const;
};

// Runs fmhost --json on the script; `extraArgs` go before the script's path. A run that takes
// over a minute is ended and fails the test. Afterwards the transaction logs the script names
// and the process log beside the plug-in are scanned for secrets (LogScan.h).
SHostRun RunHost(const std::string& script, const std::vector<std::string>& extraArgs = {});
// RunHost, noting when each line of output arrives, for a test that bounds how long a call takes.
SHostRun RunHostTimed(const std::string& script);

struct SReceivedRequest {
    std::string requestLine;
    std::vector<std::string> headers;  // in the order received, without line ends
    std::string body;
    bool resumed = false;  // it came over a resumed TLS session
};

// Everything the sandbox received so far, oldest first.
std::vector<SReceivedRequest> ReceivedRequests();
// What the sandbox received after the first `skip` requests.
std::vector<SReceivedRequest> RequestsSince(size_t skip);

std::filesystem::path BinDir();
int OddPort();
// The address of the machine's one network interface.
std::string MachineAddress();
// The port the isolated runner exported as `variable`, one of its hostile listeners' (such as
// PGV_RESET_PORT).
int ListenerPort(const char* variable);

// What differs between the platforms, so that the tests state every other expectation once.
bool OnWindows();
bool OnMacLine();
// The HTTP version the plug-in's requests carry.
std::string HttpVersion();
// The log's lines from the opening of the connection to `urlAndRequest` up to its status.
std::string OpeningLog(const std::string& urlAndRequest);
// The plug-in's file name, as the host looks for it beside itself.
std::string PluginFileName();
// What the plug-in tells Payflow Pro the operating system is.
std::string OsName();
// The header lines of a request to `host` as the sandbox receives them, for a request with the
// plug-in's `customHeaders` and, for a POST, a body of `bodySize` bytes. On every platform the
// plug-in's own headers come in its order: the custom ones, Accept (not on the Mac line),
// User-Agent, Connection. Where the HTTP
// library puts Host and what it adds is its own: libcurl sends Host first and the body length
// last; WinINet sends Host after the plug-in's headers, then the body length and, for a POST, a
// Cache-Control: no-cache, because the plug-in tells it to write nothing to its cache.
std::vector<std::string> ExpectedHeaders(const std::string& host,
                                         const std::vector<std::string>& customHeaders = {},
                                         std::optional<size_t> bodySize = std::nullopt);
// A header line with an empty value as the sandbox receives it: libcurl writes none after the
// colon, WinINet one blank.
std::string BareHeader(const std::string& name);
// `text` with each line end as the plug-in writes it in its log files: CR LF on Windows, where
// the C runtime writes them as text files, LF elsewhere. Log files are compared with expected
// text in this form, so a line end of the wrong kind fails.
std::string LogLineEnds(const std::string& text);
// The names of the functions the plug-in file exports, one a line.
std::string ExportedFunctions(const std::filesystem::path& plugin);

// What a shell command prints; a command that fails fails the test.
std::string CommandOutput(const std::string& command);
// A file name or other text quoted for the shell.
std::string ShellQuoted(const std::string& text);

// A fresh folder that is removed with the object.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::filesystem::path& Path() const { return m_Path; }

private:
    std::filesystem::path m_Path;
};

std::string ReadFile(const std::filesystem::path& path);
// A transaction log file cut into its transactions, each from the blank line before its
// "--Parameters" on.
std::vector<std::string> TransactionLogs(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& text);

// A script that selects the portal, begins, sets the parameters, sends and reads each field:
// the results are calls kFirstResult onwards.
std::string TransactionScript(const std::string& portal, const std::string& parameters,
                              const std::vector<std::string>& fields);
constexpr size_t kFirstResult = 4;

// A FileMaker text literal for the script; a line feed and a zero byte are written as \u000A and
// \u0000.
std::string Quoted(const std::string& text);

#endif
