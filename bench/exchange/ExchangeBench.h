// The measurements of the exchange benchmark: the plug-in's runs through fmhost and the bare
// clients' runs, each checked against what the sandbox received, and fmhost's peak memory.
#ifndef PAYGROVE_BENCH_EXCHANGE_EXCHANGEBENCH_H
#define PAYGROVE_BENCH_EXCHANGE_EXCHANGEBENCH_H

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "exchange/BareClient.h"
#include "exchange/HostRun.h"

namespace pgvbench {

// A value the isolated runner puts in the environment; throws std::runtime_error outside it.
std::string RunnerValue(const char* name);

double Median(std::vector<double> values);

// A folder for the scripts and the host's output, removed with everything in it.
class CScratchFolder {
public:
    CScratchFolder();
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    std::string File(const std::string& name) const { return (m_Path / name).string(); }

private:
    std::filesystem::path m_Path;
};

// The wall-clock and CPU time of one transaction, as measured in one round.
struct SSample {
    double wall = 0;
    double cpu = 0;
};

// What one client measured over the rounds.
struct SClientFigures {
    explicit SClientFigures(std::string name) : label(std::move(name)) {}

    double MedianWall() const;
    double MedianCpu() const;
    double FastestWall() const;
    double SlowestWall() const;

    std::string label;
    std::vector<SSample> samples;
    int resumed = 0;
    int handshakes = 0;
};

class CExchangeBench {
public:
    // The sandbox's request log is named by the isolated runner; throws std::runtime_error
    // outside it.
    CExchangeBench(int transactions, const CScratchFolder& scratch);

    // One transaction through the host, its start-up and shut-down taken off: a run of the empty
    // script costs what every run costs besides its transactions. That run's wall time is added
    // to `startUps`.
    SSample MeasurePlugin(const SHostProgram& host, std::vector<double>& startUps);
    // One transaction of a bare client; the run's resumed handshakes are added to `client`.
    SSample MeasureBare(EBareClient kind, SClientFigures& client);
    // The median of a few runs' peaks: a run's peak moves by a few pages from one run to the
    // next.
    long MedianPeakRssKiB(const SHostProgram& host, int transactions);

private:
    std::string Output() const;
    void WriteScript(const std::string& name, int transactions) const;
    void CheckRequests(const std::string& client, std::uintmax_t logStart);

    const int m_Transactions;
    const CScratchFolder& m_Scratch;
    const std::string m_SandboxLog;
    const SBareRequest m_Request;
    std::optional<std::string> m_Reference;
};

}  // namespace pgvbench

#endif
