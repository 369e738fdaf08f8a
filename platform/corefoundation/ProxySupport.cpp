// The system's proxy settings as CFNetwork hands them out, here read from PGV_CF_SYSTEM_PROXY in
// the keys and value types of the system's own settings:
//   HTTPSEnable=1;HTTPSProxy=proxy.example;HTTPSPort=3128;ExceptionsList=*.local,intranet.example
// (keys ending in Enable or Port hold numbers, ExceptionsList host names and patterns separated by
// commas, the others texts). Without the variable the system names no proxy. Each call is recorded
// with what it answered.
#include <CFNetwork/CFNetwork.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "Objects.h"
#include "Record.h"
#include "util/Text.h"

namespace {

// The constants are objects no CFRelease frees, as Apple's are; each holds its own name.
const __CFString kTypeKey("kCFProxyTypeKey", true);
const __CFString kTypeNone("kCFProxyTypeNone", true);
const __CFString kTypeHTTP("kCFProxyTypeHTTP", true);
const __CFString kTypeHTTPS("kCFProxyTypeHTTPS", true);
const __CFString kTypeAutoConfigurationURL("kCFProxyTypeAutoConfigurationURL", true);
const __CFString kHostNameKey("kCFProxyHostNameKey", true);
const __CFString kPortNumberKey("kCFProxyPortNumberKey", true);
const __CFString kAutoConfigurationURLKey("kCFProxyAutoConfigurationURLKey", true);

// The parts of `text` between the separators, empty ones left out.
std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(separator, start), text.size());
        if (end > start) {
            parts.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

const CFRuntimeBase* SettingValue(const std::string& key, const std::string& value) {
    const auto endsWith = [&key](const std::string& end) {
        return key.size() >= end.size() &&
               key.compare(key.size() - end.size(), end.size(), end) == 0;
    };
    if (endsWith("Enable") || endsWith("Port")) {
        return new __CFNumber(std::strtol(value.c_str(), nullptr, 10));
    }
    if (key != "ExceptionsList") {
        return new __CFString(value);
    }
    auto* list = new __CFArray;
    for (const std::string& pattern : Split(value, ',')) {
        list->m_Values.emplace_back(new __CFString(pattern));
    }
    return list;
}

// The URL's host, lower-cased.
std::string HostOf(const std::string& url) {
    const size_t begin = url.find("://");
    if (begin == std::string::npos) {
        return std::string();
    }
    const size_t end = url.find_first_of("/:?#", begin + 3);
    return LowerCase(url.substr(begin + 3, end == std::string::npos ? end : end - begin - 3));
}

// Whether the exceptions list names the host, itself or as "*." and a domain it is in.
bool Excepted(const __CFDictionary& settings, const std::string& host) {
    const auto* list = dynamic_cast<const __CFArray*>(settings.Find("ExceptionsList"));
    if (list == nullptr) {
        return false;
    }
    for (const Held& value : list->m_Values) {
        const std::string pattern = LowerCase(static_cast<const __CFString*>(value.get())->m_Text);
        const std::string domain = pattern.compare(0, 2, "*.") == 0 ? pattern.substr(1) : "";
        const bool inDomain = !domain.empty() && host.size() > domain.size() &&
                              host.compare(host.size() - domain.size(), domain.size(), domain) == 0;
        if (pattern == host || inDomain) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" {

const CFStringRef kCFProxyTypeKey = &kTypeKey;
const CFStringRef kCFProxyTypeNone = &kTypeNone;
const CFStringRef kCFProxyTypeHTTPS = &kTypeHTTPS;

CFDictionaryRef CFNetworkCopySystemProxySettings(void) {
    RecordCall("CFNetworkCopySystemProxySettings");
    auto* settings = new __CFDictionary;
    const char* text = std::getenv("PGV_CF_SYSTEM_PROXY");
    for (const std::string& entry : Split(text == nullptr ? "" : text, ';')) {
        const size_t equals = entry.find('=');
        if (equals != std::string::npos) {
            const std::string key = entry.substr(0, equals);
            settings->Put(new __CFString(key), SettingValue(key, entry.substr(equals + 1)));
        }
    }
    return settings;
}

// One proxy for the URL, as the settings name it: the auto-configuration file when one is set,
// else the scheme's proxy when it is enabled and the host is not an exception, else none.
CFArrayRef CFNetworkCopyProxiesForURL(CFURLRef url, CFDictionaryRef proxySettings) {
    const std::string& address = url->m_Text;
    const std::string scheme = StartsWithNoCase(address, "https:") ? "HTTPS" : "HTTP";
    auto* proxy = new __CFDictionary;
    std::string answer;
    if (proxySettings->Number("ProxyAutoConfigEnable") == 1) {
        const std::string file = proxySettings->Text("ProxyAutoConfigURLString");
        proxy->Put(&kTypeKey, &kTypeAutoConfigurationURL);
        proxy->Put(&kAutoConfigurationURLKey, new __CFURL(file));
        answer = kTypeAutoConfigurationURL.m_Text + " " + file;
    } else if (proxySettings->Number(scheme + "Enable") == 1 &&
               !proxySettings->Text(scheme + "Proxy").empty() &&
               !Excepted(*proxySettings, HostOf(address))) {
        const __CFString& type = scheme == "HTTPS" ? kTypeHTTPS : kTypeHTTP;
        const std::string host = proxySettings->Text(scheme + "Proxy");
        const long port = proxySettings->Number(scheme + "Port");
        proxy->Put(&kTypeKey, &type);
        proxy->Put(&kHostNameKey, new __CFString(host));
        proxy->Put(&kPortNumberKey, new __CFNumber(port));
        answer = type.m_Text + " " + host + ":" + std::to_string(port);
    } else {
        proxy->Put(&kTypeKey, &kTypeNone);
        answer = kTypeNone.m_Text;
    }
    auto* proxies = new __CFArray;
    proxies->m_Values.emplace_back(proxy);
    RecordCall("CFNetworkCopyProxiesForURL " + address + " " + answer);
    return proxies;
}

}  // extern "C"
