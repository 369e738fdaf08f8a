// The Linux build: the libcurl exchange on the Windows line, and the trust store and TLS sessions
// that exchange keeps for the process, released at shut-down.
#include "platform/OsServices.h"
#include "platform/Platform.h"
#include "transport/CurlTls.h"
#include "transport/HttpBackend.h"
#include "transport/LineExchange.h"

std::shared_ptr<IExchange> CreatePlatformExchange() {
    return std::make_shared<CLineExchange>(EHttpLine::Windows, CreateCurlBackend);
}

const char* OperatingSystemName() {
    return "Linux";
}

void ReleaseExchangeState() {
    ReleaseCurlTlsState();
}
