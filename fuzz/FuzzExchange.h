// What the gateway fuzzers share: an exchange in memory that checks what it is handed, and a
// transaction run through the real transaction flow.
#ifndef PAYGROVE_FUZZ_FUZZEXCHANGE_H
#define PAYGROVE_FUZZ_FUZZEXCHANGE_H

#include <cstdlib>
#include <memory>
#include <string>

#include "gateway/AuthBase.h"
#include "host/CalcFunctions.h"
#include "http/Exchange.h"

// Answers with `answer`, after checking that no control byte reaches the URL or a header line:
// a request a parameter could break is a finding.
class CFuzzExchange : public IExchange {
public:
    explicit CFuzzExchange(std::string answer) : m_Answer(std::move(answer)) {}

    SHttpOutcome Perform(const SHttpRequest& request, Log& log) override {
        CheckNoControlBytes(request.url);
        for (const std::string& line : request.headerLines) {
            CheckNoControlBytes(line);
        }
        log.Write("(exchange)");
        return {true, m_Answer};
    }

private:
    static void CheckNoControlBytes(const std::string& text) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                std::abort();
            }
        }
    }

    const std::string m_Answer;
};

// One transaction on the portal's gateway: the parameters set, the transaction sent through the
// exchange, every normalised value and a few fields read back. A transaction log the parameters
// ask for goes nowhere, so that the mask runs and no file is written. Returns the gateway, its
// results still to be read.
inline std::unique_ptr<CAuthBase> RunTransaction(const char* portal, const std::string& parameters,
                                                 const std::string& answer) {
    std::unique_ptr<CAuthBase> gateway = CreateGateway(portal);
    gateway->SetExchange(std::make_shared<CFuzzExchange>(answer));
    gateway->SetParameters(parameters.c_str());
    if (auto log = gateway->m_Params.find("WIM_Log"); log != gateway->m_Params.end()) {
        log->second = "/dev/null";
    }
    std::string unused;
    try {
        gateway->Send(30, unused);
    } catch (const std::exception&) {
        // The calculation function catches what the flow throws; only a crash is a finding.
    }
    for (const char* name : {"all", "pairs", "error", "pgv.status", "pgv.approved",
                             "pgv.transaction_id", "pgv.auth_code", "pgv.message", "pgv.avs",
                             "pgv.cvv", "pgv.gateway", "pgv.amount", "pgv.duplicate", "pgv.test"}) {
        std::string value;
        gateway->GetResponseFieldValue(name, value);
    }
    return gateway;
}

#endif
