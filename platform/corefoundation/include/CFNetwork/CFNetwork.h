// The CFNetwork calls the Mac transport uses, with Apple's names and argument shapes, carried
// out over libcurl.
#ifndef PAYGROVE_STANDIN_CFNETWORK_H
#define PAYGROVE_STANDIN_CFNETWORK_H

#include <CoreFoundation/CoreFoundation.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct __CFHTTPMessage* CFHTTPMessageRef;

extern const CFStringRef kCFHTTPVersion1_0;
extern const CFStringRef kCFHTTPVersion1_1;
extern const CFStringRef kCFStreamPropertyHTTPResponseHeader;

enum {
    kCFStreamErrorDomainSSL = 3,
    kCFStreamErrorDomainHTTP = 4,
    kCFStreamErrorDomainNetDB = 12,
};

CFHTTPMessageRef CFHTTPMessageCreateRequest(CFAllocatorRef allocator, CFStringRef requestMethod,
                                            CFURLRef url, CFStringRef httpVersion);
void CFHTTPMessageSetHeaderFieldValue(CFHTTPMessageRef message, CFStringRef headerField,
                                      CFStringRef value);
void CFHTTPMessageSetBody(CFHTTPMessageRef message, CFDataRef bodyData);
CFIndex CFHTTPMessageGetResponseStatusCode(CFHTTPMessageRef response);
CFStringRef CFHTTPMessageCopyHeaderFieldValue(CFHTTPMessageRef message, CFStringRef headerField);

CFReadStreamRef CFReadStreamCreateForHTTPRequest(CFAllocatorRef allocator,
                                                 CFHTTPMessageRef request);

// Ours, not Apple's: CFNetwork has no single knob for it. Seconds that bound the whole exchange,
// from CFReadStreamOpen to the body's end; 0 or less keeps the stand-in's bounded defaults. Only
// before CFReadStreamOpen; false otherwise.
Boolean PGVReadStreamSetTimeout(CFReadStreamRef stream, CFIndex seconds);

#ifdef __cplusplus
}
#endif

#endif
