// The entry point the host calls: start-up, string requests, shut-down.
#include <FMWrapper/FMWrapper.h>

#include <cstring>

#include "host/CalcFunctions.h"
#include "host/Export.h"
#include "host/HostObjects.h"
#include "host/Version.h"
#include "log/Log.h"
#include "platform/Platform.h"

FMX_ExternCallPtr gFMX_ExternCallPtr = nullptr;
bool g_fIsServer = false;

namespace {

constexpr char kPluginId[] = "Zkqx";
constexpr char kProductText[] = PGV_PRODUCT_TEXT;
constexpr int16_t kLeastInterfaceVersion = 50;
constexpr intptr_t kStarted = 51;
constexpr intptr_t kHostTooOld = -1;
constexpr intptr_t kHostIsServer = -2;

bool g_SocketLibraryStarted = false;

struct SFunction {
    int16_t id;
    const char* name;
    const char* prototype;
    int16_t minArgs;
    int16_t maxArgs;
    FMX_ExternalFunction handler;
};

const SFunction kFunctions[] = {
    {0, "PGV_Version", "PGV_Version", 0, 0, &PluginVersion},
    {1, "PGV_BeginTransaction", "PGV_BeginTransaction", 0, 0, &BeginTransaction},
    {2, "PGV_SetParameters", "PGV_SetParameters(parameters)", 1, 1, &SetParameters},
    {3, "PGV_SendTransaction", "PGV_SendTransaction([timeout])", 0, 1, &SendTransaction},
    {4, "PGV_GetResult", "PGV_GetResult(field)", 1, 1, &GetResult},
    {5, "PGV_SelectPortal", "PGV_SelectPortal(name)", 1, 1, &SelectPortal},
};

struct SString {
    unsigned id;
    const char* text;
};

const SString kStrings[] = {
    {kFMXT_NameStr, "Tenvale - Paygrove"},
    {kFMXT_AppConfigStr, "Allows you to authorize credit cards securely, quickly and easily."},
    {kFMXT_OptionsStr, "Zkqx1YnYnnn"},
};

// Only the desktop application: the one transaction the plug-in keeps for its process cannot serve
// a process that runs many sessions at once, as the server's script engine and its web and data
// services do, and a kind the plug-in does not know yet is no desktop application either.
bool IsDesktopKind(uint8_t kind) {
    return kind == kFMXT_Developer || kind == kFMXT_Pro || kind == kFMXT_Runtime;
}

intptr_t DoInit(int16_t interfaceVersion) {
    CHostQuadChar pluginId(kPluginId[0], kPluginId[1], kPluginId[2], kPluginId[3]);
    CHostText name;
    CHostText prototype;
    SetupLogging(PluginFolder(reinterpret_cast<const void*>(gFMX_ExternCallPtr->instanceID)));
    if (interfaceVersion < kLeastInterfaceVersion) {
        return kHostTooOld;
    }
    g_Log.Write("Product: %s", kProductText);
    g_fIsServer = !IsDesktopKind(gFMX_ExternCallPtr->parm1);
    g_Log.Write("Is FM server = %s", g_fIsServer ? "Yes" : "No");
    if (g_fIsServer) {
        return kHostIsServer;
    }
    // Start-up goes on without it; the machine's address then just comes back empty.
    g_SocketLibraryStarted = StartSocketLibrary();
    g_Exchange = CreatePlatformExchange();
    g_Machine = CreatePlatformMachine();
    for (const SFunction& function : kFunctions) {
        name.Assign(function.name);
        prototype.Assign(function.prototype);
        FMX_Except x = {};
        const FMX_ErrorCode error = FM_ExprEnv_RegisterExternalFunction(
            pluginId.Get(), function.id, name.Get(), prototype.Get(), function.minArgs,
            function.maxArgs, kFMX_AllCompatible, function.handler, &x);
        // The plug-in starts all the same; a solution calling the function then finds it
        // missing, and the log says why.
        if (error != kFMX_ErrNone || x.m_code != kFMX_ErrNone) {
            g_Log.Write("Registering %s failed: error %d", function.name,
                        static_cast<int>(error != kFMX_ErrNone ? error : x.m_code));
        }
    }
    return kStarted;
}

void DoShutdown() {
    g_Log.Write("Shutting down plugin");
    CHostQuadChar pluginId(kPluginId[0], kPluginId[1], kPluginId[2], kPluginId[3]);
    for (const SFunction& function : kFunctions) {
        FMX_Except x = {};
        FM_ExprEnv_UnRegisterExternalFunction(pluginId.Get(), function.id, &x);
    }
    // A plug-in turned off and on again starts from nothing: no transaction, card data
    // included, outlives the shut-down, and the exchange is made anew at the next start-up.
    g_Auth.reset();
    g_Exchange.reset();
    g_Machine.reset();
    g_Log.Close();
    ReleaseExchangeState();
    if (g_SocketLibraryStarted) {
        StopSocketLibrary();
        g_SocketLibraryStarted = false;
    }
}

const char* StringText(unsigned id) {
    for (const SString& string : kStrings) {
        if (string.id == id) {
            return string.text;
        }
    }
    return nullptr;
}

// An id without a text gets an empty one, so that a host that hands over a buffer it has not
// cleared shows nothing rather than what was left in it; a text that does not fit whole with its
// zero is not written at all.
void LoadString(unsigned id, uint16_t* buffer, FMX_PtrType size) {
    if (buffer == nullptr || size == 0) {
        return;
    }
    const char* const text = StringText(id);
    if (text == nullptr) {
        buffer[0] = 0;
        return;
    }
    const size_t length = std::strlen(text);
    if (length >= size) {
        return;
    }
    for (size_t i = 0; i < length; ++i) {
        buffer[i] = static_cast<unsigned char>(text[i]);
    }
    buffer[length] = 0;
}

}  // namespace

extern "C" PGV_EXPORT void FMExternCallProc(FMX_ExternCallPtr pb) {
    gFMX_ExternCallPtr = pb;
    try {
        switch (pb->whichCall) {
            case kFMXT_Init:
                pb->result = static_cast<FMX_PtrType>(DoInit(pb->extnVersion));
                break;
            case kFMXT_Shutdown:
                DoShutdown();
                break;
            case kFMXT_GetString:
                // parm2 is the host's language, and the texts have one language only.
                LoadString(pb->parm1, reinterpret_cast<uint16_t*>(pb->result), pb->parm3);
                break;
            default:
                break;
        }
    } catch (...) {
        try {
            g_Log.Write("FMExternCallProc failed on message %d", static_cast<int>(pb->whichCall));
        } catch (...) {
        }
    }
}
