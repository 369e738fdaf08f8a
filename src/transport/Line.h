// The two ways the plug-in has made its exchange, the Windows plug-in's and the Mac plug-in's.
// They differ only in what goes on the wire and what the log says, so each is a small function
// that turns a gateway's request into the request on the wire.
#ifndef PAYGROVE_TRANSPORT_LINE_H
#define PAYGROVE_TRANSPORT_LINE_H

#include "http/Exchange.h"
#include "transport/HttpBackend.h"

enum class EHttpLine {
    // HTTP/1.0, an Accept header, the header lines as given; the log names the URL and request.
    Windows,
    // HTTP/1.1, no Accept header, each header line split into a name and a value.
    Mac,
};

SWireRequest LineRequest(EHttpLine line, const SHttpRequest& request, const SUrlParts& url);

#endif
