// What the plug-in needs of the system it runs on besides the exchange's own calls: the exchange
// this build makes, the machine a gateway tells its portal about, the folder the plug-in lies in,
// and the socket library's start and stop. Each build defines these once, in the files CMake
// picks for its platform (src/CMakeLists.txt).
#ifndef PAYGROVE_PLATFORM_PLATFORM_H
#define PAYGROVE_PLATFORM_PLATFORM_H

#include <memory>
#include <string>

#include "gateway/Machine.h"
#include "http/Exchange.h"

// The HTTPS exchange of this build's platform.
std::shared_ptr<IExchange> CreatePlatformExchange();

// The machine the gateways are handed: its system's name and its address.
std::shared_ptr<const IMachine> CreatePlatformMachine();

// The folder that holds the plug-in file, ending in its separator; empty when it cannot be told.
// `instance` is what the host hands the plug-in at start-up: its module on Windows, its bundle
// on the Mac.
std::string PluginFolder(const void* instance);

// Windows answers no network question before its socket library is started, so the plug-in
// starts it once at start-up and stops it at shut-down; elsewhere there is nothing to start.
// StopSocketLibrary only after a StartSocketLibrary that returned true.
bool StartSocketLibrary();
void StopSocketLibrary();

// What the exchange keeps for the process (the Linux build's trust store and TLS sessions) goes
// at shut-down.
void ReleaseExchangeState();

#endif
