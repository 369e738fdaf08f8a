// Helpers shared by the unit tests: a scratch folder, files, test gateways, host calls.
#ifndef PAYGROVE_TESTS_UNIT_TESTSUPPORT_H
#define PAYGROVE_TESTS_UNIT_TESTSUPPORT_H

#include <FMWrapper/FMHost.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "gateway/AuthBase.h"

namespace pgvtest {

// A fresh folder that disappears with everything in it, however the test ends.
class CTempDir {
public:
    CTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pgv-unit-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a scratch folder");
        }
        m_Path = pattern;
    }
    ~CTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_Path, ignored);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    std::string File(const std::string& name) const { return (m_Path / name).string(); }

private:
    std::filesystem::path m_Path;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The base class's own answer handling, seen through three comma-separated fields.
class CFieldsGateway : public CAuthBase {
public:
    int flags = kRequestEscape;

    const char* const* GetResponseFieldOrder() override {
        static const char* const kNames[] = {"x", "y", "z", nullptr};
        return kNames;
    }
    char GetDelimiter() override { return ','; }
    const char* GetURL() override { return nullptr; }
    int GetRequestFlags() override { return flags; }
};

// A machine of fixed facts, in place of the one the tests run on.
class CFixedMachine : public IMachine {
public:
    CFixedMachine(std::string system, std::string address)
        : m_System(std::move(system)), m_Address(std::move(address)) {}
    std::string OperatingSystemName() const override { return m_System; }
    std::string IPv4Address() const override { return m_Address; }

private:
    std::string m_System;
    std::string m_Address;
};

inline constexpr char kFixedSystem[] = "Fixed OS";
inline constexpr char kFixedAddress[] = "192.0.2.10";

// An exchange that answers as told and hands what it was asked to `onRequest`.
class CScriptedExchange : public IExchange {
public:
    bool answerOk = true;
    std::string answer;
    // Whether a failure came after some of the request went out.
    bool mayHaveBeenSent = false;
    std::function<void(const SHttpRequest&)> onRequest;

    SHttpOutcome Perform(const SHttpRequest& request, Log& log) override {
        if (onRequest) {
            onRequest(request);
        }
        log.Write("(exchange)");
        return {answerOk, answer, mayHaveBeenSent};
    }
};

// A gateway given a scripted exchange and a machine of fixed facts, with what the transaction flow
// handed to the network at hand: the request text (the GET's end of the URL, or the POST's body),
// the endpoint, the gateway's own header lines and the time-out.
template <class TGateway>
class CRecordingGateway : public TGateway {
    // First, so that the references below have it to refer to.
    const std::shared_ptr<CScriptedExchange> m_Exchange = std::make_shared<CScriptedExchange>();

public:
    CRecordingGateway() {
        m_Exchange->onRequest = [this](const SHttpRequest& sent) { Record(sent); };
        this->SetExchange(m_Exchange);
        this->SetMachine(std::make_shared<CFixedMachine>(kFixedSystem, kFixedAddress));
    }

    std::string& answer = m_Exchange->answer;
    bool& answerOk = m_Exchange->answerOk;
    bool& mayHaveBeenSent = m_Exchange->mayHaveBeenSent;

    std::string request;
    std::string url;
    std::vector<std::string> headers;
    int timeout = -1;

    std::string SendNow() {
        std::string unused;
        this->Send(0, unused);
        return request;
    }

private:
    void Record(const SHttpRequest& sent) {
        const char* endpoint = this->GetURL();
        url = endpoint ? endpoint : "(no URL)";
        request = sent.post ? sent.body : sent.url.substr(endpoint ? url.size() : 0);
        headers = sent.headerLines;
        timeout = sent.timeoutSeconds;
    }
};

struct SRun {
    bool ok;
    std::string response;
    std::string log;
};

// Runs an exchange, given as `run(log, response)`, with a fresh log, and returns what it
// answered and logged.
template <typename TRun>
SRun RunLogged(TRun run) {
    CTempDir dir;
    SRun result;
    {
        Log log;
        log.SetLogFile(dir.File("exchange.log").c_str());
        log.Open(false);
        result.ok = run(log, result.response);
    }
    result.log = ReadFile(dir.File("exchange.log"));
    return result;
}

struct SCallOutcome {
    FMX_ErrorCode error;
    std::optional<std::string> result;  // empty when the function left the result unset
};

// Calls a calculation function the way the host does, through the stand-in SDK's host side.
inline SCallOutcome CallFunction(FMX_ExternalFunction function,
                                 const std::vector<std::string>& args = {}) {
    FMX_DataVect* parms = FMHost_DataVect_New();
    for (const std::string& arg : args) {
        FMHost_DataVect_AppendText(parms, arg.c_str());
    }
    FMX_Data* result = FMHost_Data_New();
    SCallOutcome outcome{function(0, nullptr, parms, result), std::nullopt};
    if (FMHost_Data_IsSet(result)) {
        std::string text(FMHost_Data_GetText(result, nullptr, 0), '\0');
        FMHost_Data_GetText(result, text.data(), text.size() + 1);
        outcome.result = text;
    }
    FMHost_Data_Delete(result);
    FMHost_DataVect_Delete(parms);
    return outcome;
}

}  // namespace pgvtest

#endif
