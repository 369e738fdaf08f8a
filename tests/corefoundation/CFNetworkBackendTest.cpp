// The Mac backend's own steps before the connection opens, in the Mac plug-in's order: the
// message, each header field logged as it is set, the stream.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "log/Log.h"
#include "transport/HttpBackend.h"

namespace {

std::string PrepareLog(const SWireRequest& request, bool& prepared) {
    pgvtest::CTempDir dir;
    {
        Log log;
        log.SetLogFile(dir.File("backend.log").c_str());
        log.Open(false);
        const std::unique_ptr<IHttpBackend> backend = CreateCFNetworkBackend();
        prepared = backend->Prepare(request, log);
        backend->Close();
    }
    return pgvtest::ReadFile(dir.File("backend.log"));
}

TEST(CFNetworkBackend, LogsTheHeaderFieldsOrWhatItCouldNotMake) {
    const struct {
        const char* method;
        bool prepared;
        const char* log;
    } cases[] = {
        {"POST", true,
         "Name=X-VPS-REQUEST-ID-Value=\n"
         "Name=User-Agent-Value=Tenvale Paygrove\n"},
        // The stand-in, strict by default, makes no Mac Roman string of a method beyond ASCII, and
        // so no message.
        {"P\xC3\x96ST", false, "Error creating HTTPMessageRequest\n"},
    };
    for (const auto& c : cases) {
        SWireRequest request;
        request.method = c.method;
        request.url = "https://gw.example/pay";
        request.headers = {{"X-VPS-REQUEST-ID", ""}, {"User-Agent", "Tenvale Paygrove"}};
        request.body = "a=1";
        bool prepared = false;
        EXPECT_EQ(PrepareLog(request, prepared), c.log) << c.method;
        EXPECT_EQ(prepared, c.prepared) << c.method;
    }
}

}  // namespace
