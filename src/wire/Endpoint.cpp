#include "wire/Endpoint.h"

std::string HttpsUrl(const char* host, const char* path) {
    return std::string("https://") + host + path;
}
