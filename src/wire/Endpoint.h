// A gateway's endpoint: every gateway is reached over HTTPS at a host of GatewayHosts.h.
#ifndef PAYGROVE_WIRE_ENDPOINT_H
#define PAYGROVE_WIRE_ENDPOINT_H

#include <string>

std::string HttpsUrl(const char* host, const char* path);

#endif
