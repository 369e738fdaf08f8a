// Where the plug-in file lies; each platform finds it its own way.
#ifndef PAYGROVE_LOG_PLUGINFOLDER_H
#define PAYGROVE_LOG_PLUGINFOLDER_H

#include <string>

// The folder that holds the plug-in file, ending in its separator; empty when it cannot be told.
std::string PluginFolder();

#endif
