// What a hostile server does before any request can be read: on the raw connection, so that a
// TLS library's own good manners cannot soften it.
#ifndef PAYGROVE_SANDBOX_HOSTILE_H
#define PAYGROVE_SANDBOX_HOSTILE_H

#include <ctime>

#include "sandbox/Server.h"

namespace pgv::sandbox {

// Plays `kind` (ResetOnAccept, StallHandshake, PlainHttp or TlsAlert) on the accepted `socket`,
// which the caller closes afterwards; returns early when `stopFd` becomes readable.
void ServeHostile(EListenerKind kind, int socket, int stopFd, std::time_t now);

}  // namespace pgv::sandbox

#endif
