// Linux: the folder of the shared library the plug-in was loaded from. The stand-in host hands a
// Linux plug-in no instance, so the plug-in finds its own file.
#include <dlfcn.h>

#include "platform/Platform.h"

std::string PluginFolder(const void*) {
    Dl_info info = {};
    if (dladdr(reinterpret_cast<void*>(&PluginFolder), &info) == 0 || info.dli_fname == nullptr) {
        return std::string();
    }
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}
