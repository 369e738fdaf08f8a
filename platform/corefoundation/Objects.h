// The stand-in's objects, shared by the files that carry out its calls: each is reference counted
// the CoreFoundation way and freed by the last CFRelease.
#ifndef PAYGROVE_STANDIN_OBJECTS_H
#define PAYGROVE_STANDIN_OBJECTS_H

#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct CFRuntimeBase {
    explicit CFRuntimeBase(bool immortal = false) : m_Immortal(immortal) {}
    virtual ~CFRuntimeBase() = default;
    CFRuntimeBase(const CFRuntimeBase&) = delete;
    CFRuntimeBase& operator=(const CFRuntimeBase&) = delete;

    std::atomic<long> m_References{1};
    const bool m_Immortal;
};

struct __CFString : CFRuntimeBase {
    explicit __CFString(std::string text, bool immortal = false)
        : CFRuntimeBase(immortal), m_Text(std::move(text)) {}
    const std::string m_Text;
};

struct __CFURL : CFRuntimeBase {
    explicit __CFURL(std::string text) : m_Text(std::move(text)) {}
    const std::string m_Text;
};

struct SReleaser {
    void operator()(const CFRuntimeBase* object) const { CFRelease(object); }
};
// One reference an object of the stand-in holds to another.
using Held = std::unique_ptr<const CFRuntimeBase, SReleaser>;

struct __CFNumber : CFRuntimeBase {
    explicit __CFNumber(long value) : m_Value(value) {}
    const long m_Value;
};

struct __CFArray : CFRuntimeBase {
    std::vector<Held> m_Values;
};

struct __CFDictionary : CFRuntimeBase {
    // The value under the string key of that text, or null.
    const CFRuntimeBase* Find(const std::string& key) const;
    // The text of a string value, or "" when there is none.
    std::string Text(const std::string& key) const;
    // The number of a number value, or 0 when there is none.
    long Number(const std::string& key) const;
    void Put(const CFRuntimeBase* key, const CFRuntimeBase* value);

    std::vector<std::pair<Held, Held>> m_Entries;
};

#endif
