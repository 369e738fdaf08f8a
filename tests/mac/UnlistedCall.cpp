// Calls a CoreFoundation function that Apple exports but tests/mac/apple_api.txt does not list,
// declared here as Apple declares it: linked as Kestova is, against the framework stubs, it must
// fail, so that no name outside the table reaches a Mac build.
#include <CoreFoundation/CoreFoundation.h>

extern "C" CFIndex CFStringGetLength(CFStringRef theString);

CFIndex UnlistedCall(CFStringRef string) {
    return CFStringGetLength(string);
}
