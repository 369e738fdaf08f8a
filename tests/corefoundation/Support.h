#ifndef PAYGROVE_TESTS_COREFOUNDATION_SUPPORT_H
#define PAYGROVE_TESTS_COREFOUNDATION_SUPPORT_H

#include <CoreFoundation/CoreFoundation.h>

#include <memory>
#include <type_traits>

struct SReleaser {
    void operator()(CFTypeRef object) const { CFRelease(object); }
};

// Holds one reference, released when the holder goes.
template <typename Ref>
using Owned = std::unique_ptr<std::remove_pointer_t<Ref>, SReleaser>;

inline Owned<CFStringRef> MakeString(const char* text) {
    return Owned<CFStringRef>(
        CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingMacRoman));
}

#endif
