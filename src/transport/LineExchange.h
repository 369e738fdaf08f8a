// The exchange, written once for every platform: the URL checked, the request put on the wire as
// the line has it, the backend driven, and the answer read by the same steps wherever it comes
// from. A fresh backend carries each exchange, so nothing of one answer outlives it.
#ifndef PAYGROVE_TRANSPORT_LINEEXCHANGE_H
#define PAYGROVE_TRANSPORT_LINEEXCHANGE_H

#include <optional>

#include "http/Exchange.h"
#include "log/Log.h"
#include "transport/HttpBackend.h"
#include "transport/Line.h"

class CLineExchange : public IExchange {
public:
    CLineExchange(EHttpLine line, HttpBackendFactory createBackend);

    SHttpOutcome Perform(const SHttpRequest& request, Log& log) override;

private:
    // The exchange up to the answer's header.
    EExchangeFailure SendRequest(const SHttpRequest& request, Log& log, IHttpBackend& backend,
                                 std::optional<CLogIndent>& indent) const;

    const EHttpLine m_Line;
    const HttpBackendFactory m_CreateBackend;
};

#endif
