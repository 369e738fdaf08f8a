// The targets the in-process figures are held to.
#ifndef PAYGROVE_BENCH_TARGETS_H
#define PAYGROVE_BENCH_TARGETS_H

#include <map>
#include <string>

namespace pgvbench {

// CPU seconds per iteration of each benchmark that ran, by name.
using Figures = std::map<std::string, double>;

// Prints each target with its figure, met or missed; a target whose benchmarks did not run (a
// filter left them out) is said to be unmeasured. True when none was missed.
bool CheckTargets(const Figures& figures);

}  // namespace pgvbench

#endif
