#ifndef PAYGROVE_TRANSPORT_EXCHANGE_H
#define PAYGROVE_TRANSPORT_EXCHANGE_H

#include <string>
#include <vector>

#include "log/Log.h"
#include "transport/HttpSession.h"

// The failure text of anything that goes wrong outside the exchange's own steps.
inline constexpr char kUnknownSystemFailure[] = "Unknown System Failure";

// What the gateway asks of one exchange.
struct SExchange {
    const char* url;
    int flags;
    std::vector<std::string> customHeaders;
    const char* request;
    int timeout;
};

// One HTTPS exchange over the platform's operations. On success `response` holds the body up
// to its first zero byte; on failure the error text. Never throws.
bool RunExchange(CHttpSession& session, const SExchange& exchange, Log& log, std::string& response);

// The same exchange as the Mac plug-in makes it: the whole URL, HTTP/1.1, the header fields one
// by one. Fails, answers and never throws alike.
bool RunMacExchange(CUrlHttpSession& session, const SExchange& exchange, Log& log,
                    std::string& response);

#endif
