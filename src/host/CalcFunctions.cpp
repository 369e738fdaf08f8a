#include "host/CalcFunctions.h"

#include <cstdlib>
#include <exception>

#include "host/HostObjects.h"
#include "log/Log.h"

std::unique_ptr<CAuthBase> g_Auth;
std::shared_ptr<IExchange> g_Exchange;
std::shared_ptr<const IMachine> g_Machine;

namespace {

// Not the plug-in's version (see host/Version.h): solutions written for 5.1 compare this text,
// so it has stayed "Paygrove 5.1" through the releases since.
constexpr char kVersionText[] = "Paygrove 5.1";
constexpr char kSentText[] = "1";
constexpr char kNotSentText[] = "Unable to connect to the portal";
constexpr size_t kNameBufferSize = 33;
constexpr size_t kTimeoutBufferSize = 6;
// A native character takes at most this many bytes, so the parameter text is never cut.
constexpr size_t kMaxBytesPerCharacter = 4;

constexpr FMX_ErrorCode kNoError = 0;
constexpr FMX_ErrorCode kNoPortal = 1;
constexpr FMX_ErrorCode kNoPortalToSend = 10000;

uint32_t ParameterCount(const FMX_DataVect* parms) {
    FMX_Except x = {};
    return FM_DataVect_Size(parms, &x);
}

// The host gets the answer the function's rules give, whatever went wrong; the process log keeps
// one line of it, so that a failure is never silent. Called only from a handler.
void LogFailure(const char* function) noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& failure) {
            g_Log.Write("%s failed: %s", function, failure.what());
        } catch (...) {
            g_Log.Write("%s failed", function);
        }
    } catch (...) {
    }
}

const FMX_Locale* ParameterLocale(const FMX_DataVect* parms, uint32_t index) {
    FMX_Except x = {};
    const FMX_Data* data = FM_DataVect_At(parms, index, &x);
    return data == nullptr ? nullptr : FM_Data_GetLocale(data, &x);
}

// A request the gateway may hold is never answered as one that could not connect: a script that
// sent it again could charge the card twice. Whatever failed after the request went out, the
// answer is the text the time-out has always given, so that scripts that compare it keep working;
// "error" says what failed.
const char* SendAnswer(bool sent) {
    if (sent) {
        return kSentText;
    }
    return g_Auth->RequestMayHaveBeenSent() ? ExchangeFailureText(EExchangeFailure::NoAnswerInTime)
                                            : kNotSentText;
}

}  // namespace

FMX_PROC(FMX_ErrorCode)
PluginVersion(int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data* result) {
    try {
        CHostLocale locale;
        SetResultText(result, kVersionText, locale.Get());
    } catch (...) {
        LogFailure("PGV_Version");
    }
    return kNoError;
}

FMX_PROC(FMX_ErrorCode)
BeginTransaction(int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data*) {
    if (!g_Auth) {
        return kNoPortal;
    }
    try {
        g_Auth->Clear();
    } catch (...) {
        LogFailure("PGV_BeginTransaction");
    }
    return kNoError;
}

FMX_PROC(FMX_ErrorCode)
SetParameters(int16_t, const FMX_ExprEnv*, const FMX_DataVect* parms, FMX_Data*) {
    try {
        if (!g_Auth || ParameterCount(parms) == 0) {
            return kNoError;
        }
        const size_t characters = TextParameterSize(parms, 0);
        const std::string text =
            ReadTextParameter(parms, 0, characters * kMaxBytesPerCharacter + 1);
        g_Auth->SetParameters(text.c_str());
    } catch (...) {
        LogFailure("PGV_SetParameters");
    }
    return kNoError;
}

FMX_PROC(FMX_ErrorCode)
SendTransaction(int16_t, const FMX_ExprEnv*, const FMX_DataVect* parms, FMX_Data* result) {
    try {
        CHostLocale locale;
        if (!g_Auth) {
            return kNoPortalToSend;
        }
        int timeout = 0;
        if (ParameterCount(parms) > 0) {
            timeout = std::atoi(ReadTextParameter(parms, 0, kTimeoutBufferSize).c_str());
        }
        bool sent = false;
        try {
            std::string response;
            sent = g_Auth->Send(timeout, response);
        } catch (...) {
            LogFailure("PGV_SendTransaction");
            sent = false;
        }
        SetResultText(result, SendAnswer(sent), locale.Get());
    } catch (...) {
        LogFailure("PGV_SendTransaction");
    }
    return kNoError;
}

FMX_PROC(FMX_ErrorCode)
GetResult(int16_t, const FMX_ExprEnv*, const FMX_DataVect* parms, FMX_Data* result) {
    if (!g_Auth) {
        return kNoPortal;
    }
    try {
        if (ParameterCount(parms) == 0) {
            return kNoError;
        }
        const std::string name = ReadTextParameter(parms, 0, kNameBufferSize);
        std::string value;
        try {
            g_Auth->GetResponseFieldValue(name.c_str(), value);
        } catch (...) {
            LogFailure("PGV_GetResult");
        }
        SetResultText(result, value.c_str(), ParameterLocale(parms, 0));
    } catch (...) {
        LogFailure("PGV_GetResult");
    }
    return kNoError;
}

FMX_PROC(FMX_ErrorCode)
SelectPortal(int16_t, const FMX_ExprEnv*, const FMX_DataVect* parms, FMX_Data*) {
    try {
        if (ParameterCount(parms) == 0) {
            return kNoError;
        }
        const std::string name = ReadTextParameter(parms, 0, kNameBufferSize);
        g_Auth.reset();
        std::unique_ptr<CAuthBase> gateway = CreateGateway(name.c_str());
        gateway->SetExchange(g_Exchange);
        gateway->SetMachine(g_Machine);
        g_Auth = std::move(gateway);
    } catch (...) {
        LogFailure("PGV_SelectPortal");
    }
    return kNoError;
}
