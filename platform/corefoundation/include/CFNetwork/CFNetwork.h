// The CFNetwork calls the Mac transport uses, declared as Apple declares them, deprecations
// included, and carried out over libcurl.
#ifndef PAYGROVE_STANDIN_CFNETWORK_H
#define PAYGROVE_STANDIN_CFNETWORK_H

#include <CoreFoundation/CoreFoundation.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CFN_EXPORT extern

typedef struct __CFHTTPMessage* CFHTTPMessageRef;

CFN_EXPORT const CFStringRef kCFHTTPVersion1_0;
CFN_EXPORT const CFStringRef kCFHTTPVersion1_1;

CFN_EXPORT CFHTTPMessageRef CFHTTPMessageCreateRequest(CFAllocatorRef alloc,
                                                       CFStringRef requestMethod, CFURLRef url,
                                                       CFStringRef httpVersion);
CFN_EXPORT void CFHTTPMessageSetHeaderFieldValue(CFHTTPMessageRef message, CFStringRef headerField,
                                                 CFStringRef value);
CFN_EXPORT void CFHTTPMessageSetBody(CFHTTPMessageRef message, CFDataRef bodyData);
CFN_EXPORT CFIndex CFHTTPMessageGetResponseStatusCode(CFHTTPMessageRef response);
CFN_EXPORT CFStringRef CFHTTPMessageCopyHeaderFieldValue(CFHTTPMessageRef message,
                                                         CFStringRef headerField);

CFN_EXPORT const CFStringRef kCFStreamPropertyHTTPResponseHeader
    CF_DEPRECATED(10_1, 10_11, 2_0, 9_0, "Use NSURLSession API for http requests");

CFN_EXPORT const CFStringRef kCFStreamPropertyHTTPProxy
    CF_DEPRECATED(10_2, 10_11, 2_0, 9_0, "Use NSURLSession API for http requests");

CFN_EXPORT CFReadStreamRef CFReadStreamCreateForHTTPRequest(CFAllocatorRef alloc,
                                                            CFHTTPMessageRef request)
    CF_DEPRECATED(10_2, 10_11, 2_0, 9_0, "Use NSURLSession API for http requests");

CFN_EXPORT CFDictionaryRef CFNetworkCopySystemProxySettings(void);
CFN_EXPORT CFArrayRef CFNetworkCopyProxiesForURL(CFURLRef url, CFDictionaryRef proxySettings);

CFN_EXPORT const CFStringRef kCFProxyTypeKey;
CFN_EXPORT const CFStringRef kCFProxyTypeNone;
CFN_EXPORT const CFStringRef kCFProxyTypeHTTPS;

CFN_EXPORT const SInt32 kCFStreamErrorDomainNetDB;
CFN_EXPORT const SInt32 kCFStreamErrorDomainSSL;

#ifdef __cplusplus
}
#endif

#endif
