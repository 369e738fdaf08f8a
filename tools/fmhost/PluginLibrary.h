// The one place fmhost touches the operating system: loading a plug-in module, finding the
// plug-in beside fmhost, and making standard streams carry bytes unchanged.
#ifndef FMHOST_PLUGINLIBRARY_H
#define FMHOST_PLUGINLIBRARY_H

#include <memory>
#include <string>

namespace fmhost {

// A loaded plug-in module; unloaded when destroyed.
class PluginLibrary {
public:
    // Any function pointer converts to and from this type without a warning.
    using Function = void (*)();

    // Throws std::runtime_error saying why the module cannot be loaded.
    explicit PluginLibrary(const std::string& path);

    // Null when the module exports no such function.
    Function Find(const char* name) const;
    // What the host hands the plug-in as its instance: the module handle.
    void* InstanceId() const { return handle_.get(); }

private:
    struct Closer {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Closer> handle_;
};

// The plug-in's usual home: its platform's file name in the folder fmhost was started from.
// Throws std::runtime_error when that folder cannot be told.
std::string DefaultPluginPath();

// Lines end in "\n" alone and a script reads as the bytes of its file, on every platform.
void UseBinaryStandardStreams();

}  // namespace fmhost

#endif
