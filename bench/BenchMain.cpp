// paygrove_bench: the in-process benchmarks, then the targets their figures are held to. The exit
// status is 0 when every target is met, 1 when one is missed, 2 when a benchmark failed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

#include "Benchmarks.h"
#include "InProcessPlugin.h"
#include "Targets.h"

namespace {

constexpr int kExitMissed = 1;
constexpr int kExitFailed = 2;

// Shows the runs as the console reporter does and keeps each one's CPU seconds per iteration;
// with repetitions, the median of them. The benchmarks run on one thread, so their CPU time is
// their work, where the wall-clock time would also count whatever else the machine was running.
class CFigureReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                m_Failed = true;
            } else if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                m_Samples[run.benchmark_name()].push_back(run.cpu_accumulated_time /
                                                          static_cast<double>(run.iterations));
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    pgvbench::Figures Figures() const {
        pgvbench::Figures figures;
        for (auto [name, samples] : m_Samples) {
            std::sort(samples.begin(), samples.end());
            figures[name] = samples[samples.size() / 2];
        }
        return figures;
    }
    bool Failed() const { return m_Failed; }

private:
    std::map<std::string, std::vector<double>> m_Samples;
    bool m_Failed = false;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return kExitFailed;
    }
    try {
        const pgvbench::CInProcessPlugin plugin;
        pgvbench::RegisterParseBenchmarks();
        pgvbench::RegisterMaskBenchmarks();
        pgvbench::RegisterGetResultBenchmarks(plugin);
        CFigureReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
        const bool met = pgvbench::CheckTargets(reporter.Figures());
        if (reporter.Failed()) {
            std::fprintf(stderr, "paygrove_bench: a benchmark failed\n");
            return kExitFailed;
        }
        return met ? 0 : kExitMissed;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "paygrove_bench: %s\n", failure.what());
    }
    return kExitFailed;
}
