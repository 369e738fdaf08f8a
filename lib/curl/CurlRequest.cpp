#include "curl/CurlRequest.h"

#include <algorithm>
#include <initializer_list>

#include "net/DefaultWait.h"
#include "util/Text.h"

namespace {

class CCurlGlobal {
public:
    CCurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CCurlGlobal() { curl_global_cleanup(); }
    CCurlGlobal(const CCurlGlobal&) = delete;
    CCurlGlobal& operator=(const CCurlGlobal&) = delete;
};

}  // namespace

void EnsureCurlGlobal() {
    static CCurlGlobal global;
}

CurlEasy NewRequestHandle(const std::string& method, const std::string& version,
                          const std::string& body, long timeoutSeconds) {
    EnsureCurlGlobal();
    CurlEasy curl(curl_easy_init());
    if (!curl) {
        return curl;
    }
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION,
                     version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(
        handle, CURLOPT_CONNECTTIMEOUT,
        timeoutSeconds > 0 ? std::min(timeoutSeconds, kDefaultWaitSeconds) : kDefaultWaitSeconds);
    if (timeoutSeconds > 0) {
        curl_easy_setopt(handle, CURLOPT_TIMEOUT, timeoutSeconds);
    }
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, kDefaultWaitSeconds);
    if (method == "GET") {
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
        return curl;
    }
    if (method == "POST") {
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
    } else {
        curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(handle, CURLOPT_COPYPOSTFIELDS, body.c_str());
    return curl;
}

CurlSlist HeaderList(const HeaderFields& fields) {
    CurlSlist list;
    const auto append = [&list](const std::string& line) {
        curl_slist* longer = curl_slist_append(list.get(), line.c_str());
        if (longer != nullptr) {
            list.release();
            list.reset(longer);
        }
        return longer != nullptr;
    };
    for (const auto& [name, value] : fields) {
        // libcurl drops a header whose value is empty, and sends one written "Name;" as "Name:".
        if (!append(value.empty() ? name + ";" : name + ": " + value)) {
            return nullptr;
        }
    }
    for (const char* own : {"Accept", "Content-Type", "Expect"}) {
        const bool given = std::any_of(fields.begin(), fields.end(), [own](const auto& field) {
            return EqualNoCase(field.first, own);
        });
        if (!given && !append(std::string(own) + ":")) {
            return nullptr;
        }
    }
    return list;
}
