// The CoreFoundation calls the Mac transport and plug-in folder use, declared with Apple's names
// and argument shapes so the Mac code compiles unchanged where no Apple SDK exists.
#ifndef PAYGROVE_STANDIN_COREFOUNDATION_H
#define PAYGROVE_STANDIN_COREFOUNDATION_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char Boolean;
typedef uint8_t UInt8;
typedef int32_t SInt32;
typedef uint32_t UInt32;
typedef long CFIndex;
typedef const void* CFTypeRef;

typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFURL* CFURLRef;
typedef const struct __CFData* CFDataRef;
typedef struct __CFBundle* CFBundleRef;
typedef struct __CFReadStream* CFReadStreamRef;

// Only the default allocator exists: every object is made and freed by the library itself.
extern const CFAllocatorRef kCFAllocatorDefault;

typedef UInt32 CFStringEncoding;
enum {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100,
};

typedef CFIndex CFStreamErrorDomain;
enum {
    kCFStreamErrorDomainCustom = -1,
    kCFStreamErrorDomainPOSIX = 1,
    kCFStreamErrorDomainMacOSStatus = 2,
};

typedef struct {
    CFIndex domain;
    SInt32 error;
} CFStreamError;

void CFRelease(CFTypeRef object);
CFTypeRef CFRetain(CFTypeRef object);

CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* text,
                                      CFStringEncoding encoding);
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);
SInt32 CFStringGetIntValue(CFStringRef string);

CFURLRef CFURLCreateWithString(CFAllocatorRef allocator, CFStringRef urlString, CFURLRef baseURL);
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer,
                                         CFIndex maxBufLen);

CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length);

CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL);
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);

Boolean CFReadStreamOpen(CFReadStreamRef stream);
CFIndex CFReadStreamRead(CFReadStreamRef stream, UInt8* buffer, CFIndex bufferLength);
CFStreamError CFReadStreamGetError(CFReadStreamRef stream);
CFTypeRef CFReadStreamCopyProperty(CFReadStreamRef stream, CFStringRef propertyName);
void CFReadStreamClose(CFReadStreamRef stream);

#ifdef __cplusplus
}
#endif

#endif
