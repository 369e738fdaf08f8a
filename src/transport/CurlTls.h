// The TLS state the Linux backend keeps for the process. Each transaction still makes a new
// connection and keeps nothing of its answer; what outlives it is what makes the next handshake
// cheap: the trust store, parsed once instead of once per transaction, and the TLS sessions the
// gateways gave under it, which a new connection to the same host resumes until the store is read
// again.
#ifndef PAYGROVE_TRANSPORT_CURLTLS_H
#define PAYGROVE_TRANSPORT_CURLTLS_H

#include <curl/curl.h>
#include <openssl/x509.h>
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>

struct SX509StoreDeleter {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
using X509StorePtr = std::unique_ptr<X509_STORE, SX509StoreDeleter>;

// A trust store read from the CA bundle (and the hashed certificate folder beside it), read again
// when the bundle changes or a day has passed: a certificate an administrator adds takes effect
// without restarting FileMaker.
class CTrustStoreCache {
public:
    CTrustStoreCache(std::string bundle, std::string folder);

    // The store, read again first when due; null when the bundle cannot be read.
    X509_STORE* Get(std::chrono::system_clock::time_point now);
    // How many times the bundle has been read.
    int Loads() const { return m_Loads; }

private:
    X509StorePtr Load() const;

    const std::string m_Bundle;
    const std::string m_Folder;
    X509StorePtr m_Store;
    std::chrono::system_clock::time_point m_LoadedAt;
    struct timespec m_BundleTime = {};
    int m_Loads = 0;
};

// Fits a request's handle out with the process's trust store and TLS session cache, made on the
// first request; false when there is no store to give it.
bool ApplyCurlTlsState(CURL* curl);

// The libcurl backend keeps its trust store and TLS sessions for the process; the plug-in's
// shut-down releases them, before libcurl's own state goes.
void ReleaseCurlTlsState();

#endif
