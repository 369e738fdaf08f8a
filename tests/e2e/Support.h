// Running the stand-in host against the plug-in and reading what the sandbox received. The
// tests run inside the isolated runner, which provides PGV_BIN_DIR, PGV_SANDBOX_LOG and
// PGV_ODD_PORT.
#ifndef PAYGROVE_TESTS_E2E_SUPPORT_H
#define PAYGROVE_TESTS_E2E_SUPPORT_H

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct SHostRun {
    int exitCode = -1;
    std::vector<std::string> lines;  // standard output, one JSON object per line
    std::string errors;              // standard error
    // The result of the n-th call of the script (0-based), null when left unset.
    std::optional<std::string> Result(size_t call) const;
    int Error(size_t call) const;
};

// Runs fmhost --json on the script; `extraArgs` go before the script's path.
SHostRun RunHost(const std::string& script, const std::vector<std::string>& extraArgs = {});

struct SReceivedRequest {
    std::string requestLine;
    std::vector<std::string> headers;  // in the order received, without line ends
    std::string body;
};

// Everything the sandbox received so far, oldest first.
std::vector<SReceivedRequest> ReceivedRequests();
// What the sandbox received after the first `skip` requests.
std::vector<SReceivedRequest> RequestsSince(size_t skip);

std::filesystem::path BinDir();
int OddPort();

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
void WriteFile(const std::filesystem::path& path, const std::string& text);

// A script that selects the portal, begins, sets the parameters, sends and reads each field:
// the results are calls kFirstResult onwards.
std::string TransactionScript(const std::string& portal, const std::string& parameters,
                              const std::vector<std::string>& fields);
constexpr size_t kFirstResult = 4;

// A FileMaker text literal for the script.
std::string Quoted(const std::string& text);

#endif
