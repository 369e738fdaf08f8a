// The transaction log's mask on answers made to cost it the most: each input at 100 KB, 200 KB
// and 400 KB, so that work growing faster than the answer shows as a time per byte that grows.
#include <benchmark/benchmark.h>

#include <map>
#include <stdexcept>

#include "Benchmarks.h"
#include "gateway/CardData.h"

namespace pgvbench {

namespace {

// What a line is made of: what it begins with, then a piece repeated to the size.
struct SMaskInput {
    std::string head;
    std::string piece;
};

const SMaskInput& Input(const std::string& name) {
    static const std::map<std::string, SMaskInput> kInputs = {
        // A card number, then groups of digits joined to it by blanks: masking the card leaves
        // its last four digits, which with the next group make another card number, whose last
        // four make one with the group after, to the line's end. No two groups make one.
        {"chain", {"4111111111111111", " 100071111"}},
        // A card number and an expiry after "=", as track 2 holds them, again and again in one
        // value with no end sentinel: each is where a track begins, and each runs to the end.
        {"tracks", {"", "4111111111111111=3012;"}},
        // The transaction's short secret after "]=" again and again, where no name stands: each
        // could be its value under a length-tagged name.
        {"tags", {"", "]=123&"}},
        // Nothing but card numbers: one span to hide every 14 bytes.
        {kMaskCardsInput, {"", "4007000000027,"}},
    };
    const auto input = kInputs.find(name);
    if (input == kInputs.end()) {
        throw std::invalid_argument("no mask input " + name);
    }
    return input->second;
}

std::string Line(const SMaskInput& input, size_t size) {
    std::string line = input.head;
    while (line.size() < size) {
        line += input.piece;
    }
    return line;
}

void MaskLine(benchmark::State& state, const std::string& input, size_t size) {
    // A transaction's parameters as the crafted lines meet them: a card and its short code.
    const CLogMask mask = BuildLogMask(
        {{"x_card_num", "4111111111111111"}, {"x_card_code", "123"}, {"x_amount", "1.00"}},
        nullptr);
    const std::string line = Line(Input(input), size);
    for (auto _ : state) {
        benchmark::DoNotOptimize(mask.Apply(line));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(line.size()));
}

}  // namespace

std::string MaskBenchmarkName(const std::string& input, size_t size) {
    return "MaskLine/" + input + "/" + std::to_string(size);
}

void RegisterMaskBenchmarks() {
    for (const char* input : kMaskInputs) {
        for (const size_t size : kMaskLineSizes) {
            benchmark::RegisterBenchmark(MaskBenchmarkName(input, size).c_str(), &MaskLine,
                                         std::string(input), size)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::RegisterBenchmark(MaskBenchmarkName(kMaskCardsInput, kMaskCardsSize).c_str(),
                                 &MaskLine, std::string(kMaskCardsInput), kMaskCardsSize)
        ->Unit(benchmark::kMillisecond);
}

}  // namespace pgvbench
