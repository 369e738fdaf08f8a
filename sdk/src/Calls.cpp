// How each FM_ operation was called: what the host's own library could not survive stops here.
#include <cstdio>
#include <cstdlib>

#include "FMWrapper/FMHost.h"
#include "Objects.h"

namespace {

uint32_t g_CheckedCalls = 0;

[[noreturn]] void Stop() {
    std::fflush(stderr);
    std::abort();
}

}  // namespace

void fmwrapper::CheckCall(const char* operation, const FMX_Except* x,
                          std::initializer_list<SReference> references) noexcept {
    if (x == nullptr) {
        std::fprintf(stderr, "FMWrapper: %s was called without an error record\n", operation);
        Stop();
    }
    if (x->m_vers != kFMX_ExceptVersion) {
        std::fprintf(stderr,
                     "FMWrapper: %s was handed an error record of version %d; the host's "
                     "records are version %d\n",
                     operation, static_cast<int>(x->m_vers), kFMX_ExceptVersion);
        Stop();
    }
    for (const SReference& reference : references) {
        if (reference.object == nullptr) {
            std::fprintf(stderr,
                         "FMWrapper: %s was handed a null %s, which the host takes by reference: "
                         "FileMaker would crash here\n",
                         operation, reference.name);
            Stop();
        }
    }
    ++g_CheckedCalls;
}

uint32_t FMHost_CheckedCallCount(void) {
    return g_CheckedCalls;
}
