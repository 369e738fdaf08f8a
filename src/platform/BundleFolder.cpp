// The Mac: the plug-in's bundle, which FileMaker hands over at start-up. Built wherever
// CoreFoundation is, the stand-in's included, so that it is tried here too.
#include <CoreFoundation/CoreFoundation.h>
#include <limits.h>

#include <memory>
#include <type_traits>

#include "platform/OsServices.h"

namespace {

struct SReleaser {
    void operator()(CFTypeRef object) const { CFRelease(object); }
};

}  // namespace

std::string BundleFolder(const void* bundle) {
    if (bundle == nullptr) {
        return std::string();
    }
    const std::unique_ptr<std::remove_pointer_t<CFURLRef>, SReleaser> url(
        CFBundleCopyBundleURL(static_cast<CFBundleRef>(const_cast<void*>(bundle))));
    UInt8 path[PATH_MAX] = {};
    if (!url || !CFURLGetFileSystemRepresentation(url.get(), true, path, sizeof path)) {
        return std::string();
    }
    // The bundle is a folder itself: the log goes beside it, not into it.
    const std::string folder(reinterpret_cast<const char*>(path));
    const size_t slash = folder.rfind('/');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}
