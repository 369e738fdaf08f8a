#include "exchange/BareClient.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/resource.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

namespace pgvbench {

namespace {

struct SEasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SShareDeleter {
    void operator()(CURLSH* share) const { curl_share_cleanup(share); }
};
struct SSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct SStoreDeleter {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
using CurlEasy = std::unique_ptr<CURL, SEasyDeleter>;
using CurlShare = std::unique_ptr<CURLSH, SShareDeleter>;
using CurlSlist = std::unique_ptr<curl_slist, SSlistDeleter>;
using X509Store = std::unique_ptr<X509_STORE, SStoreDeleter>;

double CpuSeconds() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

CURLcode HandOverStore(CURL* /*curl*/, void* sslContext, void* store) {
    auto* cached = static_cast<X509_STORE*>(store);
    X509_STORE_up_ref(cached);
    SSL_CTX_set_cert_store(static_cast<SSL_CTX*>(sslContext), cached);
    return CURLE_OK;
}

// What one request brought back; the TLS session is looked at while the connection is open.
struct STransfer {
    CURL* curl = nullptr;
    std::string body;
    bool sessionSeen = false;
    bool resumed = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* object) {
    auto* transfer = static_cast<STransfer*>(object);
    if (!transfer->sessionSeen) {
        transfer->sessionSeen = true;
        curl_tlssessioninfo* info = nullptr;
        if (curl_easy_getinfo(transfer->curl, CURLINFO_TLS_SSL_PTR, &info) == CURLE_OK &&
            info != nullptr && info->backend == CURLSSLBACKEND_OPENSSL &&
            info->internals != nullptr) {
            transfer->resumed = SSL_session_reused(static_cast<SSL*>(info->internals)) == 1;
        }
    }
    transfer->body.append(data, size * count);
    return size * count;
}

// The process-wide state of the cached clients, as the plug-in keeps it.
struct SCachedTls {
    X509Store store;
    CurlShare share;
};

SCachedTls LoadCachedTls() {
    // libcurl's own idea of where the trust lies, as the plug-in asks for it.
    CurlEasy probe(curl_easy_init());
    char* bundle = nullptr;
    char* folder = nullptr;
    if (!probe || curl_easy_getinfo(probe.get(), CURLINFO_CAINFO, &bundle) != CURLE_OK ||
        bundle == nullptr) {
        throw std::runtime_error("libcurl names no CA bundle");
    }
    curl_easy_getinfo(probe.get(), CURLINFO_CAPATH, &folder);
    SCachedTls tls{X509Store(X509_STORE_new()), CurlShare(curl_share_init())};
    if (!tls.store || X509_STORE_load_file(tls.store.get(), bundle) != 1) {
        throw std::runtime_error(std::string("cannot read the CA bundle ") + bundle);
    }
    if (folder != nullptr) {
        X509_STORE_load_path(tls.store.get(), folder);
    }
    X509_STORE_set_flags(tls.store.get(), X509_V_FLAG_PARTIAL_CHAIN);
    if (!tls.share || curl_share_setopt(tls.share.get(), CURLSHOPT_SHARE,
                                        CURL_LOCK_DATA_SSL_SESSION) != CURLSHE_OK) {
        throw std::runtime_error("libcurl gives no share handle");
    }
    return tls;
}

void Configure(CURL* curl, const SBareRequest& request, const curl_slist* headers, SCachedTls* tls,
               STransfer& transfer) {
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    if (tls != nullptr) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, nullptr);
        curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &HandOverStore);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, tls->store.get());
        curl_easy_setopt(curl, CURLOPT_SHARE, tls->share.get());
    }
}

}  // namespace

SBareRun RunBareClient(EBareClient kind, const SBareRequest& request, int transactions) {
    CurlSlist headers;
    for (const std::string& line : request.headers) {
        curl_slist* longer = curl_slist_append(headers.get(), line.c_str());
        if (longer == nullptr) {
            throw std::runtime_error("libcurl ran out of memory");
        }
        headers.release();
        headers.reset(longer);
    }

    SBareRun run;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    std::unique_ptr<SCachedTls> tls;
    if (kind != EBareClient::Uncached) {
        tls = std::make_unique<SCachedTls>(LoadCachedTls());
    }
    STransfer transfer;
    CurlEasy kept;
    for (int i = 0; i < transactions; ++i) {
        CurlEasy fresh;
        if (kind != EBareClient::CachedOneHandle || !kept) {
            fresh.reset(curl_easy_init());
            if (!fresh) {
                throw std::runtime_error("libcurl gives no easy handle");
            }
            Configure(fresh.get(), request, headers.get(), tls.get(), transfer);
            if (kind == EBareClient::CachedOneHandle) {
                kept = std::move(fresh);
            }
        }
        CURL* curl = kept ? kept.get() : fresh.get();
        transfer = STransfer();
        transfer.curl = curl;
        long status = 0;
        if (curl_easy_perform(curl) == CURLE_OK &&
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200 &&
            IsApproval(transfer.body)) {
            ++run.approved;
        }
        run.resumed += transfer.resumed ? 1 : 0;
    }
    run.cpuSeconds = CpuSeconds() - cpuStart;
    run.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

}  // namespace pgvbench
