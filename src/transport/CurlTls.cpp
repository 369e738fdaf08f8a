#include "transport/HttpBackend.h"

#ifdef PGV_HAVE_LIBCURL

#include "transport/CurlTls.h"

#include <openssl/ssl.h>
#include <sys/stat.h>

#include "curl/CurlRequest.h"

namespace {

constexpr auto kLongestKept = std::chrono::hours(24);

struct SShareDeleter {
    void operator()(CURLSH* share) const { curl_share_cleanup(share); }
};

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

struct timespec ModificationTime(const std::string& path) {
    struct stat status = {};
    return stat(path.c_str(), &status) == 0 ? status.st_mtim : timespec{};
}

// Each connection's TLS context takes the cached store in place of the one libcurl would fill
// from the bundle.
CURLcode UseCachedStore(CURL* /*curl*/, void* context, void* store) {
    auto* cached = static_cast<X509_STORE*>(store);
    X509_STORE_up_ref(cached);
    SSL_CTX_set_cert_store(static_cast<SSL_CTX*>(context), cached);
    return CURLE_OK;
}

using CurlShare = std::unique_ptr<CURLSH, SShareDeleter>;

// An empty cache of the TLS sessions the gateways give; null when libcurl has none to give.
CurlShare NewSessionCache() {
    CurlShare share(curl_share_init());
    if (share) {
        curl_share_setopt(share.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    }
    return share;
}

class CCurlTlsState {
public:
    CCurlTlsState(std::string bundle, std::string folder)
        : m_Trust(std::move(bundle), std::move(folder)) {}

    bool Apply(CURL* curl) {
        const int loads = m_Trust.Loads();
        X509_STORE* store = m_Trust.Get(std::chrono::system_clock::now());
        // A resumed session skips the certificate check: one made under the store read before
        // would let in a gateway whose authority has since been removed. So each reading of the
        // store, the first one included, starts an empty cache.
        if (m_Trust.Loads() != loads) {
            m_Share = NewSessionCache();
        }
        if (store == nullptr) {
            return false;
        }
        // libcurl is told of no bundle, so it parses none: the store comes from the callback.
        curl_easy_setopt(curl, CURLOPT_CAINFO, nullptr);
        curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &UseCachedStore);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, store);
        if (m_Share) {
            curl_easy_setopt(curl, CURLOPT_SHARE, m_Share.get());
        }
        return true;
    }

private:
    CTrustStoreCache m_Trust;
    CurlShare m_Share;
};

// Made after libcurl's global state, so that it goes first when the process ends without a
// shut-down.
std::unique_ptr<CCurlTlsState>& TlsState() {
    EnsureCurlGlobal();
    static std::unique_ptr<CCurlTlsState> state;
    return state;
}

}  // namespace

CTrustStoreCache::CTrustStoreCache(std::string bundle, std::string folder)
    : m_Bundle(std::move(bundle)), m_Folder(std::move(folder)) {}

X509StorePtr CTrustStoreCache::Load() const {
    X509StorePtr store(X509_STORE_new());
    if (!store || X509_STORE_load_file(store.get(), m_Bundle.c_str()) != 1) {
        return nullptr;
    }
    // The folder's certificates are looked up by hash as a chain needs them, as libcurl does.
    if (!m_Folder.empty()) {
        X509_STORE_load_path(store.get(), m_Folder.c_str());
    }
    // As libcurl sets it on the store it fills: a trusted intermediate ends a chain.
    X509_STORE_set_flags(store.get(), X509_V_FLAG_PARTIAL_CHAIN);
    return store;
}

X509_STORE* CTrustStoreCache::Get(std::chrono::system_clock::time_point now) {
    const struct timespec bundleTime = ModificationTime(m_Bundle);
    const bool due = !m_Store || !SameTime(bundleTime, m_BundleTime) ||
                     now - m_LoadedAt >= kLongestKept || now < m_LoadedAt;
    if (due) {
        m_Store = Load();
        m_LoadedAt = now;
        m_BundleTime = bundleTime;
        ++m_Loads;
    }
    return m_Store.get();
}

bool ApplyCurlTlsState(CURL* curl) {
    std::unique_ptr<CCurlTlsState>& state = TlsState();
    if (!state) {
        // libcurl's own idea of where the trust lies, as it would read it itself.
        char* bundle = nullptr;
        char* folder = nullptr;
        curl_easy_getinfo(curl, CURLINFO_CAINFO, &bundle);
        curl_easy_getinfo(curl, CURLINFO_CAPATH, &folder);
        state = std::make_unique<CCurlTlsState>(bundle ? bundle : "", folder ? folder : "");
    }
    return state->Apply(curl);
}

void ReleaseCurlTlsState() {
    TlsState().reset();
}

#endif
