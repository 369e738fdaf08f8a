// A bare libcurl client making the plug-in's request, a new connection each time as the plug-in
// makes it, with or without the plug-in's process-wide TLS state.
#ifndef PAYGROVE_BENCH_EXCHANGE_BARECLIENT_H
#define PAYGROVE_BENCH_EXCHANGE_BARECLIENT_H

#include "exchange/Transaction.h"

namespace pgvbench {

enum class EBareClient {
    // The trust store parsed once and handed to each handshake, TLS sessions shared through a
    // share handle, a new easy handle per request: what the plug-in does.
    CachedNewHandle,
    // The same, with one easy handle for every request, so that nothing is set up twice.
    CachedOneHandle,
    // A new easy handle per request and libcurl reading the CA bundle itself each time.
    Uncached,
};

struct SBareRun {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    int approved = 0;
    int resumed = 0;  // handshakes that resumed an earlier TLS session
};

// Makes `transactions` requests, one after another, in this process; the run's time includes
// reading the trust store. Throws std::runtime_error when libcurl cannot be set up.
SBareRun RunBareClient(EBareClient kind, const SBareRequest& request, int transactions);

}  // namespace pgvbench

#endif
