// PGV_GetResult as FileMaker calls it, once per result field a script reads: the parameter made
// by the host, the function found in the host's register, the result's text read back.
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>

#include "Benchmarks.h"
#include "InProcessPlugin.h"
#include "host/CalcFunctions.h"

namespace pgvbench {

namespace {

// The gateway's approval in place of the network, so that the results are a real transaction's.
class CCannedExchange : public IExchange {
public:
    explicit CCannedExchange(std::string answer) : m_Answer(std::move(answer)) {}

    SHttpOutcome Perform(const SHttpRequest&, Log&) override { return {true, m_Answer}; }

private:
    std::string m_Answer;
};

// A gateway field, one in other capitals, a normalised name, a parameter, the whole answer, and
// a name that finds nothing.
const char* const kNames[] = {"x_response_code", "X_Auth_Code", "pgv.status",
                              "x_login",         "all",         "no_such_field"};

void GetResult(benchmark::State& state, const CInProcessPlugin* plugin, const std::string& name) {
    const FMHost_Registration function = plugin->Function("PGV_GetResult");
    const std::vector<std::string> args = {name};
    for (auto _ : state) {
        benchmark::DoNotOptimize(plugin->Call(function, args));
    }
}

}  // namespace

void RegisterGetResultBenchmarks(const CInProcessPlugin& plugin) {
    plugin.Call(plugin.Function("PGV_SelectPortal"), {"AUTHNET"});
    if (!g_Auth) {
        throw std::runtime_error("PGV_SelectPortal selected no portal");
    }
    g_Auth->SetExchange(std::make_shared<CCannedExchange>(GatewayAnswer("AUTHNET", 0)));
    plugin.Call(plugin.Function("PGV_SetParameters"),
                {"x_login=demo1234|x_tran_key=7xKey9000|x_version=3.1|x_amount=1.00|"
                 "x_card_num=4111111111111111|x_exp_date=1230"});
    plugin.Call(plugin.Function("PGV_SendTransaction"), {});
    if (plugin.Call(plugin.Function("PGV_GetResult"), {"pgv.status"}) != "approved") {
        throw std::runtime_error("the transaction PGV_GetResult reads was not approved");
    }
    for (const char* name : kNames) {
        benchmark::RegisterBenchmark((kGetResultPrefix + std::string(name)).c_str(), &GetResult,
                                     &plugin, std::string(name));
    }
}

}  // namespace pgvbench
