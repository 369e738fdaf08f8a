// Helpers shared by the unit tests: a scratch folder, files, test gateways, host calls.
#ifndef PAYGROVE_TESTS_UNIT_TESTSUPPORT_H
#define PAYGROVE_TESTS_UNIT_TESTSUPPORT_H

#include <FMWrapper/FMHost.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
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

// A gateway with its exchange replaced: it records what the transaction flow hands to the
// network (read after the request text is built, as the real exchange reads it) and answers
// as told.
template <class TGateway>
class CRecordingGateway : public TGateway {
public:
    std::string answer;
    bool answerOk = true;

    std::string request;
    std::string url;
    std::vector<std::string> headers;
    int timeout = -1;

    bool Authorize(const char* sent, int seconds, std::string& response) override {
        request = sent;
        timeout = seconds;
        const char* endpoint = this->GetURL();
        url = endpoint ? endpoint : "(no URL)";
        this->GetCustomHeaders(headers);
        this->m_Log.Write("(exchange)");
        response = answer;
        return answerOk;
    }

    std::string SendNow() {
        std::string unused;
        this->Send(0, unused);
        return request;
    }
};

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
