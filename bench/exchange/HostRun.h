// fmhost as FileMaker's stand-in, run as a child process on a script and measured as a whole:
// wall-clock time and CPU time, or its peak resident memory.
#ifndef PAYGROVE_BENCH_EXCHANGE_HOSTRUN_H
#define PAYGROVE_BENCH_EXCHANGE_HOSTRUN_H

#include <string>

namespace pgvbench {

// A plug-in and the fmhost built with it: the stand-in SDK changes with the plug-in, so each
// plug-in is run by the host beside it.
struct SHostProgram {
    std::string fmhost;
    std::string plugin;
};

// The host for `plugin`: the fmhost in the same folder.
SHostProgram HostBeside(const std::string& plugin);

struct SHostRun {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    std::string output;  // what fmhost printed, one JSON object a line
};

// Runs the host with --json on the script file; throws std::runtime_error when it cannot be
// started or does not end with status 0.
SHostRun RunHost(const SHostProgram& host, const std::string& scriptPath,
                 const std::string& outputPath);

// Runs the host as RunHost does and returns its peak resident memory in KiB, read as it exits.
// Its ru_maxrss would not do: Linux counts into a child's figure the peak of the process it was
// started from, this benchmark with its own trust store and logs.
long PeakRssKiB(const SHostProgram& host, const std::string& scriptPath,
                const std::string& outputPath, std::string& output);

}  // namespace pgvbench

#endif
