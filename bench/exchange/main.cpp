// exchange_bench: what a transaction costs through the plug-in, against what the same request
// costs a bare libcurl client, in one run against the sandbox; and how the host's memory grows
// over many transactions. Run inside tools/isolated-run, which provides the sandbox and its log.
//
//   exchange_bench [--plugin PATH] [--baseline-plugin PATH] [--transactions N] [--rounds N]
//
// Each plug-in is run by the fmhost beside it. The exit status is 0 when every target is met, 1
// when one is missed, 2 when the benchmark could not measure.

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "curl/CurlRequest.h"
#include "exchange/ExchangeBench.h"

namespace {

using namespace pgvbench;

constexpr int kExitMissed = 1;
constexpr int kExitFailed = 2;
constexpr double kMostPluginToBareRatio = 1.15;
constexpr int kRssFewTransactions = 100;
constexpr int kRssManyTransactions = 2000;
constexpr long kMostRssGrowthKiB = 1024;
constexpr const char* kUsage =
    "usage: exchange_bench [--plugin PATH] [--baseline-plugin PATH] [--transactions N] "
    "[--rounds N]";

struct SOptions {
    std::string plugin;
    std::optional<std::string> baselinePlugin;
    int transactions = 200;
    int rounds = 5;
};

int PositiveNumber(const std::string& option, const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 1 || value > INT_MAX) {
        throw std::runtime_error(option + " needs a whole number above 0, not \"" + text + "\"");
    }
    return static_cast<int>(value);
}

SOptions ParseOptions(int argc, char** argv) {
    SOptions options;
    options.plugin = RunnerValue("PGV_BIN_DIR") + "/Paygrove.fmx";
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            throw std::runtime_error(std::string(kUsage));
        }
        const char* value = argv[++i];
        if (option == "--plugin") {
            options.plugin = value;
        } else if (option == "--baseline-plugin") {
            options.baselinePlugin = value;
        } else if (option == "--transactions") {
            options.transactions = PositiveNumber(option, value);
        } else if (option == "--rounds") {
            options.rounds = PositiveNumber(option, value);
        } else {
            throw std::runtime_error("unknown option " + option + "; " + kUsage);
        }
    }
    return options;
}

double Milliseconds(double seconds) {
    return seconds * 1000;
}

void PrintClient(const SClientFigures& client) {
    std::printf("  %-58s %8.2f ms %8.2f ms   (%.2f to %.2f)\n", client.label.c_str(),
                Milliseconds(client.MedianWall()), Milliseconds(client.MedianCpu()),
                Milliseconds(client.FastestWall()), Milliseconds(client.SlowestWall()));
}

// The machine's load over the last one, five and fifteen minutes: the figures are only as quiet
// as the machine was.
std::string LoadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one;
    std::string five;
    std::string fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

bool Target(bool met, const std::string& text) {
    std::printf("  %-7s %s\n", met ? "met" : "MISSED", text.c_str());
    return met;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

int Run(const SOptions& options) {
    EnsureCurlGlobal();
    CScratchFolder scratch;
    CExchangeBench bench(options.transactions, scratch);

    const SHostProgram plugin = HostBeside(options.plugin);
    std::optional<SHostProgram> baseline;
    if (options.baselinePlugin) {
        baseline = HostBeside(*options.baselinePlugin);
    }
    SClientFigures pluginClient("the plug-in through fmhost");
    SClientFigures baselineClient("the baseline plug-in through its fmhost");
    const std::pair<EBareClient, const char*> bareKinds[] = {
        {EBareClient::CachedNewHandle,
         "bare libcurl: store and sessions kept, new handle per request"},
        {EBareClient::CachedOneHandle, "bare libcurl: store and sessions kept, one handle"},
        {EBareClient::Uncached, "bare libcurl: new handle, libcurl reads the bundle"},
    };
    std::vector<SClientFigures> bareClients;
    for (const auto& [kind, label] : bareKinds) {
        bareClients.emplace_back(label);
    }

    std::vector<double> startUps;
    std::vector<double> baselineStartUps;
    // The plug-in and the clients it is held to run one after the other, so that whatever else
    // the machine is doing weighs on them alike; the slow clients come after.
    const std::string loadBefore = LoadAverage();
    for (int round = 0; round < options.rounds; ++round) {
        pluginClient.samples.push_back(bench.MeasurePlugin(plugin, startUps));
        for (size_t i = 0; i < bareClients.size(); ++i) {
            bareClients[i].samples.push_back(bench.MeasureBare(bareKinds[i].first, bareClients[i]));
        }
        if (baseline) {
            baselineClient.samples.push_back(bench.MeasurePlugin(*baseline, baselineStartUps));
        }
    }
    const std::string loadAfter = LoadAverage();

    std::printf(
        "Per transaction: Authorize.Net sale against the sandbox, %d transactions a run, "
        "median of %d runs (fastest and slowest run's wall time in brackets)\n",
        options.transactions, options.rounds);
    std::printf("  load average before and after: %s; %s\n", loadBefore.c_str(), loadAfter.c_str());
    std::printf("  the plug-in: %s\n", plugin.plugin.c_str());
    if (baseline) {
        std::printf("  the baseline plug-in: %s\n", baseline->plugin.c_str());
    }
    std::printf("  %-58s %11s %11s\n", "", "wall", "CPU");
    PrintClient(pluginClient);
    if (baseline) {
        PrintClient(baselineClient);
    }
    const SClientFigures* best = &bareClients.front();
    for (const SClientFigures& client : bareClients) {
        PrintClient(client);
        if (client.MedianWall() < best->MedianWall()) {
            best = &client;
        }
    }
    const double ratio = pluginClient.MedianWall() / best->MedianWall();
    double leastCpu = best->MedianCpu();
    for (const SClientFigures& client : bareClients) {
        leastCpu = std::min(leastCpu, client.MedianCpu());
    }
    std::printf("  the plug-in / the best bare client: %.2f (CPU time: %.2f)\n", ratio,
                pluginClient.MedianCpu() / leastCpu);
    if (baseline) {
        std::printf("  the baseline plug-in / the best bare client: %.2f\n",
                    baselineClient.MedianWall() / best->MedianWall());
        std::printf("  the baseline's start-up and shut-down, taken off: %.2f ms\n",
                    Milliseconds(Median(baselineStartUps)));
    }
    std::printf("  fmhost's start-up and shut-down (the empty script's run), taken off: %.2f ms\n",
                Milliseconds(Median(startUps)));
    for (const SClientFigures& client : bareClients) {
        std::printf("  TLS sessions resumed, %s: %d of %d\n", client.label.c_str(), client.resumed,
                    client.handshakes);
    }

    const long startUpRss = bench.MedianPeakRssKiB(plugin, 0);
    const long fewRss = bench.MedianPeakRssKiB(plugin, kRssFewTransactions);
    const long manyRss = bench.MedianPeakRssKiB(plugin, kRssManyTransactions);
    const long growth = manyRss - fewRss;
    std::printf(
        "Peak resident memory of fmhost with the plug-in (VmHWM at its exit): %ld KiB started, "
        "%ld KiB after %d transactions, %ld KiB after %d; growth %ld KiB\n",
        startUpRss, fewRss, kRssFewTransactions, manyRss, kRssManyTransactions, growth);

    std::printf("Targets:\n");
    bool met = Target(ratio <= kMostPluginToBareRatio,
                      "the plug-in at most " + Fixed(kMostPluginToBareRatio, 2) +
                          " times the best bare client: " + Fixed(ratio, 2));
    met = Target(growth < kMostRssGrowthKiB,
                 "resident memory grows less than " + std::to_string(kMostRssGrowthKiB) +
                     " KiB from " + std::to_string(kRssFewTransactions) + " to " +
                     std::to_string(kRssManyTransactions) +
                     " transactions: " + std::to_string(growth) + " KiB") &&
          met;
    return met ? 0 : kExitMissed;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(ParseOptions(argc, argv));
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "exchange_bench: %s\n", failure.what());
    }
    return kExitFailed;
}
