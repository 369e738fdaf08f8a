// The per-transaction work that grows with the caller's input: parsing parameters, escaping
// them, masking the log, splitting the answer.
#include <benchmark/benchmark.h>

#include "gateway/CardData.h"
#include "gateway/URLEscape.h"
#include "gateways/AuthorizeNet.h"

namespace {

std::string ParameterText(int pairs) {
    std::string text;
    for (int i = 0; i < pairs; ++i) {
        text += "x_field_" + std::to_string(i) + "=value with blanks & symbols " +
                std::to_string(i) + "|";
    }
    return text + "x_card_num=4111111111111111|x_tran_key=secret";
}

void ParseParameters(benchmark::State& state) {
    const std::string text = ParameterText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        StringMap params;
        benchmark::DoNotOptimize(CAuthBase::ParseParams(text.c_str(), params, '|', false));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(ParseParameters)->Arg(10)->Arg(1000);

void EscapeValue(benchmark::State& state) {
    const std::string value(255, '&');
    for (auto _ : state) {
        benchmark::DoNotOptimize(URLEscape(value.c_str(), kEscapeOutputSize));
    }
}
BENCHMARK(EscapeValue);

void MaskLogLine(benchmark::State& state) {
    StringMap params;
    CAuthBase::ParseParams(ParameterText(50).c_str(), params, '|', false);
    const CLogMask mask = BuildLogMask(params, nullptr);
    const std::string line(4096, 'a');
    for (auto _ : state) {
        benchmark::DoNotOptimize(mask.Apply(line));
    }
}
BENCHMARK(MaskLogLine);

void ParseAuthorizeNetAnswer(benchmark::State& state) {
    std::string answer = "|1|";
    for (int i = 1; i < 68; ++i) {
        answer += ",|value " + std::to_string(i) + "|";
    }
    for (auto _ : state) {
        CAuthAuthorizeNet gateway;
        std::string response = answer;
        benchmark::DoNotOptimize(gateway.ParseResults(response));
    }
}
BENCHMARK(ParseAuthorizeNetAnswer);

}  // namespace
