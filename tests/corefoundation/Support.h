#ifndef PAYGROVE_TESTS_COREFOUNDATION_SUPPORT_H
#define PAYGROVE_TESTS_COREFOUNDATION_SUPPORT_H

#include <CoreFoundation/CoreFoundation.h>
#include <stdlib.h>

#include <memory>
#include <optional>
#include <string>
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

// An environment variable set, or unset for nullptr, for as long as the holder lives, then put
// back: the stand-in takes its switches (PGV_CF_SLACK), the system's proxy settings and where it
// records them from the environment.
class CScopedVariable {
public:
    CScopedVariable(const char* name, const char* value) : m_Name(name) {
        if (const char* before = ::getenv(name)) {
            m_Before = before;
        }
        Set(value);
    }
    ~CScopedVariable() { Set(m_Before ? m_Before->c_str() : nullptr); }
    CScopedVariable(const CScopedVariable&) = delete;
    CScopedVariable& operator=(const CScopedVariable&) = delete;

private:
    void Set(const char* value) {
        if (value == nullptr) {
            ::unsetenv(m_Name.c_str());
        } else {
            ::setenv(m_Name.c_str(), value, 1);
        }
    }

    const std::string m_Name;
    std::optional<std::string> m_Before;
};

#endif
