// The in-process benchmarks registered by name at start-up, and the names the targets read their
// figures by.
#ifndef PAYGROVE_BENCH_BENCHMARKS_H
#define PAYGROVE_BENCH_BENCHMARKS_H

#include <cstddef>
#include <string>

namespace pgvbench {

class CInProcessPlugin;

// The answer sizes every gateway's parser is timed at: 1 KB, 100 KB and 1 MB.
inline constexpr size_t kAnswerSizes[] = {1024, 100 * 1024, 1024 * 1024};
inline constexpr const char* kPortals[] = {"AUTHNET", "SECPAY", "NMI", "SAGE", "RXPAY", "PAYPAL"};
inline constexpr char kGetResultPrefix[] = "PGV_GetResult/";
// The sizes of the lines the log's mask is timed on, each made to cost it the most, and of the
// answer of nothing but card numbers it masks against a time.
inline constexpr size_t kMaskLineSizes[] = {100 * 1024, 200 * 1024, 400 * 1024};
inline constexpr size_t kMaskCardsSize = 2 * 1024 * 1024;
inline constexpr char kMaskCardsInput[] = "cards";
inline constexpr const char* kMaskInputs[] = {"chain", "tracks", "tags", kMaskCardsInput};

// "ParseResults/PORTAL/BYTES": one answer of that size parsed by a new gateway object.
std::string ParseBenchmarkName(const std::string& portal, size_t size);

// An approval in the gateway's own format, of at least `size` bytes: the gateway's fields, then
// as many more as it takes, placed where the parser has to walk through them.
std::string GatewayAnswer(const std::string& portal, size_t size);

// "MaskLine/INPUT/BYTES": one line of that input and size through a transaction's log mask.
std::string MaskBenchmarkName(const std::string& input, size_t size);

void RegisterParseBenchmarks();
void RegisterMaskBenchmarks();
// "PGV_GetResult/NAME": one call through the host interface, after an approved transaction.
void RegisterGetResultBenchmarks(const CInProcessPlugin& plugin);

}  // namespace pgvbench

#endif
