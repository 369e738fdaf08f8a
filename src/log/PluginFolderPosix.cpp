#include <dlfcn.h>

#include "log/PluginFolder.h"

std::string PluginFolder() {
    Dl_info info = {};
    if (dladdr(reinterpret_cast<void*>(&PluginFolder), &info) == 0 || info.dli_fname == nullptr) {
        return std::string();
    }
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}
