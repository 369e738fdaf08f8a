#include "exchange/ExchangeBench.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "exchange/SandboxLog.h"
#include "exchange/Transaction.h"

namespace pgvbench {

namespace {

constexpr int kPeakRuns = 3;

template <typename T>
T MedianOf(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::vector<double> Field(const std::vector<SSample>& samples, double SSample::*field) {
    std::vector<double> values;
    for (const SSample& sample : samples) {
        values.push_back(sample.*field);
    }
    return values;
}

// A request without its "Connection: close" line, which a plug-in built before it asked for a
// connection of its own per transaction does not send.
std::string WithoutConnectionLine(std::string request) {
    static constexpr char kLine[] = "Connection: close\r\n";
    const size_t line = request.find(kLine);
    return line == std::string::npos ? request : request.erase(line, sizeof kLine - 1);
}

}  // namespace

std::string RunnerValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        throw std::runtime_error(std::string(name) +
                                 " is not set: run the benchmark through tools/isolated-run");
    }
    return value;
}

double Median(std::vector<double> values) {
    return MedianOf(std::move(values));
}

CScratchFolder::CScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pgv-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder");
    }
    m_Path = pattern;
}

CScratchFolder::~CScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_Path, ignored);
}

double SClientFigures::MedianWall() const {
    return MedianOf(Field(samples, &SSample::wall));
}

double SClientFigures::MedianCpu() const {
    return MedianOf(Field(samples, &SSample::cpu));
}

double SClientFigures::FastestWall() const {
    const std::vector<double> walls = Field(samples, &SSample::wall);
    return *std::min_element(walls.begin(), walls.end());
}

double SClientFigures::SlowestWall() const {
    const std::vector<double> walls = Field(samples, &SSample::wall);
    return *std::max_element(walls.begin(), walls.end());
}

CExchangeBench::CExchangeBench(int transactions, const CScratchFolder& scratch)
    : m_Transactions(transactions),
      m_Scratch(scratch),
      m_SandboxLog(RunnerValue("PGV_SANDBOX_LOG")),
      m_Request(PluginRequest()) {
    WriteScript("empty.fmcalc", 0);
    WriteScript("run.fmcalc", transactions);
}

SSample CExchangeBench::MeasurePlugin(const SHostProgram& host, std::vector<double>& startUps) {
    const std::uintmax_t logStart = SandboxLogEnd(m_SandboxLog);
    const SHostRun empty = RunHost(host, m_Scratch.File("empty.fmcalc"), Output());
    const SHostRun full = RunHost(host, m_Scratch.File("run.fmcalc"), Output());
    const int approved = ApprovedTransactions(full.output);
    if (approved != m_Transactions) {
        throw std::runtime_error(host.plugin + " had " + std::to_string(approved) + " of " +
                                 std::to_string(m_Transactions) + " transactions approved");
    }
    CheckRequests(host.plugin, logStart);
    startUps.push_back(empty.wallSeconds);
    const double count = m_Transactions;
    return {(full.wallSeconds - empty.wallSeconds) / count,
            (full.cpuSeconds - empty.cpuSeconds) / count};
}

SSample CExchangeBench::MeasureBare(EBareClient kind, SClientFigures& client) {
    const std::uintmax_t logStart = SandboxLogEnd(m_SandboxLog);
    const SBareRun run = RunBareClient(kind, m_Request, m_Transactions);
    if (run.approved != m_Transactions) {
        throw std::runtime_error(client.label + " had " + std::to_string(run.approved) + " of " +
                                 std::to_string(m_Transactions) + " transactions approved");
    }
    CheckRequests(client.label, logStart);
    client.resumed += run.resumed;
    client.handshakes += m_Transactions;
    const double count = m_Transactions;
    return {run.wallSeconds / count, run.cpuSeconds / count};
}

long CExchangeBench::MedianPeakRssKiB(const SHostProgram& host, int transactions) {
    const std::string name = "peak-" + std::to_string(transactions) + ".fmcalc";
    WriteScript(name, transactions);
    std::vector<long> peaks;
    for (int i = 0; i < kPeakRuns; ++i) {
        std::string output;
        peaks.push_back(PeakRssKiB(host, m_Scratch.File(name), Output(), output));
        if (ApprovedTransactions(output) != transactions) {
            throw std::runtime_error("not every transaction of " + name + " was approved");
        }
    }
    return MedianOf(peaks);
}

std::string CExchangeBench::Output() const {
    return m_Scratch.File("fmhost.out");
}

void CExchangeBench::WriteScript(const std::string& name, int transactions) const {
    std::ofstream(m_Scratch.File(name), std::ios::binary) << TransactionScript(transactions);
}

// Every client makes the plug-in's request, one connection per transaction: the first request
// the plug-in sent is the one every later run must have sent too.
void CExchangeBench::CheckRequests(const std::string& client, std::uintmax_t logStart) {
    const std::vector<std::string> requests = SandboxRequestsSince(m_SandboxLog, logStart);
    if (requests.size() != static_cast<size_t>(m_Transactions)) {
        throw std::runtime_error("the sandbox received " + std::to_string(requests.size()) +
                                 " requests from " + client + " for " +
                                 std::to_string(m_Transactions) + " transactions");
    }
    if (!m_Reference) {
        m_Reference = WithoutConnectionLine(requests.front());
    }
    for (const std::string& request : requests) {
        if (WithoutConnectionLine(request) != *m_Reference) {
            throw std::runtime_error(client + " sent\n" + request + "\nwhere the plug-in sent\n" +
                                     *m_Reference);
        }
    }
}

}  // namespace pgvbench
