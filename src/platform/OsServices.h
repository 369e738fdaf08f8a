// What the platform's files tell one another, beside the functions of Platform.h that each build
// defines once, in the files CMake picks for it.
#ifndef PAYGROVE_PLATFORM_OSSERVICES_H
#define PAYGROVE_PLATFORM_OSSERVICES_H

#include <string>

// The operating system's name as the Payflow gateway is told it.
const char* OperatingSystemName();

// The machine's IPv4 address in dotted-decimal form, read from its network interfaces without
// asking any name server: the first address of the first interface, in the order the system
// lists them (by interface index on Linux, by binding order on Windows), that is up and is not
// a loopback. Empty when the machine has none.
std::string LocalIPv4Address();

// The folder that holds the bundle FileMaker hands the Mac plug-in (BundleFolder.cpp), wherever
// CoreFoundation is, the stand-in's included.
std::string BundleFolder(const void* bundle);

#endif
