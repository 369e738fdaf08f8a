#include <CoreFoundation/CoreFoundation.h>
#include <FMWrapper/FMWrapper.h>
#include <limits.h>

#include <memory>
#include <type_traits>

#include "log/PluginFolder.h"

namespace {

struct SReleaser {
    void operator()(CFTypeRef object) const { CFRelease(object); }
};

}  // namespace

std::string PluginFolder() {
    // FileMaker for the Mac hands the plug-in its own bundle as the instance.
    if (gFMX_ExternCallPtr == nullptr || gFMX_ExternCallPtr->instanceID == nullptr) {
        return std::string();
    }
    const std::unique_ptr<std::remove_pointer_t<CFURLRef>, SReleaser> url(
        CFBundleCopyBundleURL(static_cast<CFBundleRef>(gFMX_ExternCallPtr->instanceID)));
    UInt8 path[PATH_MAX] = {};
    if (!url || !CFURLGetFileSystemRepresentation(url.get(), true, path, sizeof path)) {
        return std::string();
    }
    // The bundle is a folder itself: the log goes beside it, not into it.
    const std::string bundle(reinterpret_cast<const char*>(path));
    const size_t slash = bundle.rfind('/');
    return slash == std::string::npos ? std::string() : bundle.substr(0, slash + 1);
}
