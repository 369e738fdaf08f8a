// The Mac: the log goes beside the bundle FileMaker hands the plug-in at start-up.
#include "platform/OsServices.h"
#include "platform/Platform.h"

std::string PluginFolder(const void* instance) {
    return BundleFolder(instance);
}
