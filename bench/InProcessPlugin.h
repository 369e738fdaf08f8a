// The plug-in started in this process as fmhost starts it, its calculation functions called
// through the stand-in SDK's host side: parameters and result made by the host, the function
// found in the host's register.
#ifndef PAYGROVE_BENCH_INPROCESSPLUGIN_H
#define PAYGROVE_BENCH_INPROCESSPLUGIN_H

#include <FMWrapper/FMHost.h>

#include <optional>
#include <string>
#include <vector>

namespace pgvbench {

class CInProcessPlugin {
public:
    // Throws std::runtime_error when the plug-in refuses to start.
    CInProcessPlugin();
    ~CInProcessPlugin();
    CInProcessPlugin(const CInProcessPlugin&) = delete;
    CInProcessPlugin& operator=(const CInProcessPlugin&) = delete;

    // The registered function of that name; throws std::runtime_error when there is none.
    FMHost_Registration Function(const char* name) const;
    // One call as the host makes it; the result's text, or nothing when the function left it
    // unset.
    std::optional<std::string> Call(const FMHost_Registration& function,
                                    const std::vector<std::string>& args) const;
};

}  // namespace pgvbench

#endif
