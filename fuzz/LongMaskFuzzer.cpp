// The log mask on long lines: a line of 64 KB made of a head and a piece repeated is masked in
// CPU time in step with its size, and shows no card number afterwards. Work that grows with the
// square of the line, as a search begun again at every candidate does, overruns the bound here.
//
// Input: parameter text, a line feed, the head, a zero byte, then the piece.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include "CardNumberScan.h"
#include "gateway/AuthBase.h"
#include "gateway/CardData.h"

namespace {

constexpr size_t kLineSize = 64 * 1024;
// CPU time the line may take per byte, for each parameter the mask looks for: some ten times
// what the mask takes here under the sanitizers and the fuzzer's instrumentation, and a small
// part of what work that grows with the square of the line takes at this size.
constexpr double kMostSecondsPerByte = 5e-6;

void Require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t lineFeed = input.find('\n');
    const size_t zero = input.find('\0', lineFeed == std::string::npos ? 0 : lineFeed);
    if (lineFeed == std::string::npos || zero == std::string::npos || zero + 1 == input.size()) {
        return 0;
    }
    StringMap params;
    CAuthBase::ParseParams(input.substr(0, lineFeed).c_str(), params, '|', false);
    const CLogMask mask = BuildLogMask(params, nullptr);

    const std::string piece = input.substr(zero + 1);
    std::string line = input.substr(lineFeed + 1, zero - lineFeed - 1);
    while (line.size() < kLineSize) {
        line += piece;
    }
    const double start = CpuSeconds();
    const std::string masked = mask.Apply(line);
    const double seconds = CpuSeconds() - start;
    Require(seconds <= kMostSecondsPerByte * static_cast<double>(line.size()) *
                           static_cast<double>(params.size() + 1));
    Require(!pgvfuzz::ShowsCardNumber(masked));
    return 0;
}
