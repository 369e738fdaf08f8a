#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "PluginLibrary.h"

namespace fmhost {

PluginLibrary::PluginLibrary(const std::string& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) {
        const char* why = dlerror();
        throw std::runtime_error("cannot load plug-in " + path + ": " +
                                 (why ? why : "unknown reason"));
    }
}

PluginLibrary::Function PluginLibrary::Find(const char* name) const {
    return reinterpret_cast<Function>(dlsym(handle_.get(), name));
}

void PluginLibrary::Closer::operator()(void* handle) const {
    dlclose(handle);
}

std::string DefaultPluginPath() {
    std::vector<char> exe(4096);
    const ssize_t length = readlink("/proc/self/exe", exe.data(), exe.size());
    if (length <= 0 || static_cast<size_t>(length) >= exe.size()) {
        throw std::runtime_error(std::string("cannot find fmhost's own folder: ") +
                                 (length <= 0 ? std::strerror(errno) : "path too long"));
    }
    const std::string path(exe.data(), static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1) + "Paygrove.fmx";
}

// POSIX streams never translate line ends.
void UseBinaryStandardStreams() {}

}  // namespace fmhost
