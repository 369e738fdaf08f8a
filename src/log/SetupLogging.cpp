#include "log/Log.h"

namespace {

constexpr char kProcessLogName[] = "Quilla.log";

}  // namespace

void SetupLogging(const std::string& folder) {
    if (folder.empty()) {
        return;
    }
    // The log is switched on only by a file the user put there; it is never created.
    const std::string path = folder + kProcessLogName;
    if (!Log::Exists(path.c_str())) {
        return;
    }
    g_Log.SetLogFile(path.c_str());
    g_Log.Open(true);
    g_Log.m_TimeStamps = true;
    g_Log.Write("**Log started**");
}
