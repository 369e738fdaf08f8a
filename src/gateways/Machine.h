// Facts about the machine the plug-in runs on that a gateway sends along.
#ifndef PAYGROVE_GATEWAYS_MACHINE_H
#define PAYGROVE_GATEWAYS_MACHINE_H

#include <string>

// The machine's IPv4 address in dotted-decimal form: its host name's first IPv4 address.
// Empty when the name cannot be had or resolved.
std::string LocalIPv4Address();

// The operating system's name as the Payflow gateway is told it.
const char* OperatingSystemName();

// Windows answers no host-name or address question before its socket library is started, so
// the plug-in starts it once at start-up and stops it at shut-down. StopSocketLibrary only after
// a StartSocketLibrary that returned true.
bool StartSocketLibrary();
void StopSocketLibrary();

#endif
