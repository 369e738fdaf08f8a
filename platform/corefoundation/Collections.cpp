// Arrays and dictionaries as CFNetwork's proxy calls hand them out: made by the stand-in, read by
// the caller.
#include "Objects.h"

#include <cstdlib>

const CFRuntimeBase* __CFDictionary::Find(const std::string& key) const {
    for (const auto& [name, value] : m_Entries) {
        const auto* text = dynamic_cast<const __CFString*>(name.get());
        if (text != nullptr && text->m_Text == key) {
            return value.get();
        }
    }
    return nullptr;
}

std::string __CFDictionary::Text(const std::string& key) const {
    const auto* text = dynamic_cast<const __CFString*>(Find(key));
    return text == nullptr ? std::string() : text->m_Text;
}

long __CFDictionary::Number(const std::string& key) const {
    const auto* number = dynamic_cast<const __CFNumber*>(Find(key));
    return number == nullptr ? 0 : number->m_Value;
}

void __CFDictionary::Put(const CFRuntimeBase* key, const CFRuntimeBase* value) {
    m_Entries.emplace_back(Held(key), Held(value));
}

extern "C" {

CFIndex CFArrayGetCount(CFArrayRef theArray) {
    return static_cast<CFIndex>(theArray->m_Values.size());
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
    if (idx < 0 || static_cast<size_t>(idx) >= theArray->m_Values.size()) {
        std::abort();  // outside the array: CoreFoundation's behaviour is undefined
    }
    return theArray->m_Values[static_cast<size_t>(idx)].get();
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key) {
    const auto* name = dynamic_cast<const __CFString*>(static_cast<const CFRuntimeBase*>(key));
    return name == nullptr ? nullptr : theDict->Find(name->m_Text);
}

}  // extern "C"
