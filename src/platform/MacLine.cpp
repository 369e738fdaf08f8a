// The Mac line: CFNetwork's exchange, and the name the Mac plug-in gives Payflow. Built on the Mac
// and, over the CoreFoundation stand-in, on Linux, so that it is tried where no Mac is: that
// build is the Mac plug-in in all that a gateway sees, and the Linux one in its files and
// addresses.
#include "platform/OsServices.h"
#include "platform/Platform.h"
#include "transport/HttpBackend.h"
#include "transport/LineExchange.h"

std::shared_ptr<IExchange> CreatePlatformExchange() {
    return std::make_shared<CLineExchange>(EHttpLine::Mac, CreateCFNetworkBackend);
}

const char* OperatingSystemName() {
    // Misspelt as the Mac plug-in has always sent it: Payflow's records of the plug-in's
    // transactions carry this name.
    return "Max OS X";
}

// CFNetwork keeps nothing of ours for the process.
void ReleaseExchangeState() {}
