// The libcurl handle of one https request, as the Linux backend makes it and as the CoreFoundation
// stand-in makes the Mac line's: the two share how a request is set up, each adding what is its
// own.
#ifndef PAYGROVE_CURL_CURLREQUEST_H
#define PAYGROVE_CURL_CURLREQUEST_H

#include <curl/curl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

struct SCurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SCurlSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct SCurlUrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlEasy = std::unique_ptr<CURL, SCurlEasyDeleter>;
using CurlSlist = std::unique_ptr<curl_slist, SCurlSlistDeleter>;
using CurlUrl = std::unique_ptr<CURLU, SCurlUrlDeleter>;

using HeaderFields = std::vector<std::pair<std::string, std::string>>;

// libcurl's process-wide state, set up on first use and cleaned up when the process ends.
void EnsureCurlGlobal();

// A handle for one request: the certificate and its host name verified, no redirect followed, no
// signal raised, the method and HTTP version given, the body sent as it is. A connection that
// is not made within a minute, or that brings nothing new for a minute, fails the request;
// `timeoutSeconds` above 0 bounds the whole request too. Null when libcurl has no handle to give.
CurlEasy NewRequestHandle(const std::string& method, const std::string& version,
                          const std::string& body, long timeoutSeconds);

// The request's header lines, sent as given and in this order; an empty value is still sent.
// libcurl's own Accept, Content-Type and Expect lines are taken back unless the fields set them,
// so that nothing is sent that the caller did not ask for. Null when libcurl runs out of memory.
CurlSlist HeaderList(const HeaderFields& fields);

#endif
