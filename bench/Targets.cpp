#include "Targets.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "Benchmarks.h"

namespace pgvbench {

namespace {

constexpr double kMostGetResultSeconds = 5e-6;
constexpr double kMostMegabyteParseSeconds = 20e-3;
// Time per byte at 100 KB and at 1 MB over that at 1 KB. Work that grew with the square of the
// answer would be a hundred and a thousand times the smaller size's; a linear parser still comes
// out slower per byte at 1 MB, where the answer, its copies and its results outgrow the processor's
// caches, though it runs no more instructions per byte than at 1 KB.
constexpr double kMostPerByteGrowth = 2.0;
// The log's mask on an answer of 2 MB of card numbers.
constexpr double kMostMaskCardsSeconds = 0.1;

bool Report(bool met, const std::string& text) {
    std::printf("  %-7s %s\n", met ? "met" : "MISSED", text.c_str());
    return met;
}

bool Unmeasured(const std::string& what) {
    std::printf("  %-7s %s\n", "-", (what + ": not measured in this run").c_str());
    return true;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool CheckGetResult(const Figures& figures) {
    double slowest = -1;
    std::string slowestName;
    for (const auto& [name, seconds] : figures) {
        if (name.rfind(kGetResultPrefix, 0) == 0 && seconds > slowest) {
            slowest = seconds;
            slowestName = name;
        }
    }
    const std::string what =
        "PGV_GetResult at most " + Format("%.0f", kMostGetResultSeconds * 1e6) + " us a call";
    if (slowest < 0) {
        return Unmeasured(what);
    }
    return Report(slowest <= kMostGetResultSeconds,
                  what + ": " + Format("%.2f us", slowest * 1e6) + " (" + slowestName + ")");
}

bool CheckParser(const Figures& figures, const std::string& portal) {
    const size_t smallest = kAnswerSizes[0];
    const size_t largest = std::end(kAnswerSizes)[-1];
    const auto small = figures.find(ParseBenchmarkName(portal, smallest));
    const auto large = figures.find(ParseBenchmarkName(portal, largest));
    const std::string timeWhat =
        portal + " parses 1 MB in under " + Format("%.0f", kMostMegabyteParseSeconds * 1e3) + " ms";
    const std::string flatWhat = portal + "'s time per byte flat from 1 KB to 1 MB (at most " +
                                 Format("%.1f", kMostPerByteGrowth) + " times that at 1 KB)";
    if (small == figures.end() || large == figures.end()) {
        return Unmeasured(timeWhat) && Unmeasured(flatWhat);
    }
    bool met = Report(large->second < kMostMegabyteParseSeconds,
                      timeWhat + ": " + Format("%.2f ms", large->second * 1e3));
    const double smallPerByte = small->second / static_cast<double>(smallest);
    double growth = 0;
    for (const size_t size : kAnswerSizes) {
        const auto figure = figures.find(ParseBenchmarkName(portal, size));
        if (figure != figures.end()) {
            growth = std::max(growth, figure->second / static_cast<double>(size) / smallPerByte);
        }
    }
    return Report(growth <= kMostPerByteGrowth, flatWhat + ": " + Format("%.2f", growth)) && met;
}

// The time per byte at each size over that at the smallest, the largest of them; nothing when a
// size was not measured.
std::optional<double> PerByteGrowth(const Figures& figures, const std::string& input) {
    const auto small = figures.find(MaskBenchmarkName(input, kMaskLineSizes[0]));
    if (small == figures.end()) {
        return std::nullopt;
    }
    const double smallPerByte = small->second / static_cast<double>(kMaskLineSizes[0]);
    double growth = 0;
    for (const size_t size : kMaskLineSizes) {
        const auto figure = figures.find(MaskBenchmarkName(input, size));
        if (figure == figures.end()) {
            return std::nullopt;
        }
        growth = std::max(growth, figure->second / static_cast<double>(size) / smallPerByte);
    }
    return growth;
}

bool CheckMask(const Figures& figures) {
    bool met = true;
    for (const char* input : kMaskInputs) {
        const std::string what = std::string("the log mask's time per byte on ") + input +
                                 " flat from 100 KB to 400 KB (at most " +
                                 Format("%.1f", kMostPerByteGrowth) + " times that at 100 KB)";
        const std::optional<double> growth = PerByteGrowth(figures, input);
        met = (growth ? Report(*growth <= kMostPerByteGrowth, what + ": " + Format("%.2f", *growth))
                      : Unmeasured(what)) &&
              met;
    }
    const std::string what = "the log mask hides 2 MB of card numbers in under " +
                             Format("%.0f", kMostMaskCardsSeconds * 1e3) + " ms";
    const auto cards = figures.find(MaskBenchmarkName(kMaskCardsInput, kMaskCardsSize));
    if (cards == figures.end()) {
        return Unmeasured(what) && met;
    }
    return Report(cards->second < kMostMaskCardsSeconds,
                  what + ": " + Format("%.1f ms", cards->second * 1e3)) &&
           met;
}

}  // namespace

bool CheckTargets(const Figures& figures) {
    std::printf("Targets, by CPU time:\n");
    bool met = CheckGetResult(figures);
    for (const char* portal : kPortals) {
        met = CheckParser(figures, portal) && met;
    }
    return CheckMask(figures) && met;
}

}  // namespace pgvbench
