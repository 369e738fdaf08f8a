// Each operating system's own way to the services of Platform.h; Platform.cpp picks among them.
#ifndef PAYGROVE_PLATFORM_OSSERVICES_H
#define PAYGROVE_PLATFORM_OSSERVICES_H

#include <string>

// Windows (Windows.cpp).
std::string ModuleFolder(const void* module);
std::string WindowsIPv4Address();
bool StartWinsock();
void StopWinsock();

// Linux and the Mac (Posix.cpp).
std::string SharedLibraryFolder();
std::string PosixIPv4Address();

// Where CoreFoundation is, the Mac's and the stand-in's (Mac.cpp).
std::string BundleFolder(const void* bundle);

#endif
