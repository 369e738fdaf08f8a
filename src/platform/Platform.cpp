// What this build is, said in one place: which exchange it makes, what it tells a gateway about
// itself, and which of its system's services it uses. The Mac line is built on Linux too, over
// the CoreFoundation stand-in, so that it is tried where no Mac is; that build is the Mac plug-in
// in all that a gateway sees, and the Linux one in its files and addresses.
#include "platform/Platform.h"

#include "platform/OsServices.h"
#include "transport/HttpBackend.h"
#include "transport/LineExchange.h"

std::shared_ptr<IExchange> CreatePlatformExchange() {
#if defined(_WIN32)
    return std::make_shared<CLineExchange>(EHttpLine::Windows, CreateWinInetBackend);
#elif defined(__APPLE__) || defined(PGV_MAC_LINE)
    return std::make_shared<CLineExchange>(EHttpLine::Mac, CreateCFNetworkBackend);
#else
    return std::make_shared<CLineExchange>(EHttpLine::Windows, CreateCurlBackend);
#endif
}

const char* OperatingSystemName() {
#if defined(_WIN32)
    return "Windows";
#elif defined(__APPLE__) || defined(PGV_MAC_LINE)
    // Misspelt as the Mac plug-in has always sent it: Payflow's records of the plug-in's
    // transactions carry this name.
    return "Max OS X";
#else
    return "Linux";
#endif
}

std::string LocalIPv4Address() {
#if defined(_WIN32)
    return WindowsIPv4Address();
#else
    return PosixIPv4Address();
#endif
}

std::string PluginFolder(const void* instance) {
#if defined(_WIN32)
    return ModuleFolder(instance);
#elif defined(__APPLE__)
    return BundleFolder(instance);
#else
    // The stand-in host hands a Linux plug-in no instance: it finds its own file.
    static_cast<void>(instance);
    return SharedLibraryFolder();
#endif
}

bool StartSocketLibrary() {
#if defined(_WIN32)
    return StartWinsock();
#else
    return true;
#endif
}

void StopSocketLibrary() {
#if defined(_WIN32)
    StopWinsock();
#endif
}

void ReleaseExchangeState() {
#if !defined(_WIN32) && !defined(__APPLE__) && !defined(PGV_MAC_LINE)
    ReleaseCurlTlsState();
#endif
}
