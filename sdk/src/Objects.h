// The host objects behind the opaque handles of FMWrapper.h, and the error discipline every
// exported operation follows.
#ifndef FMWRAPPER_SRC_OBJECTS_H
#define FMWRAPPER_SRC_OBJECTS_H

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "FMWrapper/FMWrapper.h"

struct FMX_QuadChar {
    char chars[4];
};

struct FMX_Text {
    std::u16string units;
};

struct FMX_Locale {
    int32_t type = kFMX_LocaleSystem;
};

struct FMX_Data {
    FMX_Text text;
    FMX_Locale locale;
    bool set = false;
};

struct FMX_DataVect {
    std::vector<std::unique_ptr<FMX_Data>> members;
};

namespace fmwrapper {

enum class ObjectKind { kQuadChar, kText, kLocale };

// Objects a plug-in made through a constructor: their number is what FMHost_LiveObjectCount
// reports, and a delete of anything not in here (twice, or of a host-owned object) is refused
// instead of corrupting the heap.
void AddLiveObject(const void* object, ObjectKind kind);
bool RemoveLiveObject(const void* object, ObjectKind kind);
long LiveObjectCount();

// An object an operation takes by reference, by the name its message gives it.
struct SReference {
    const char* name;
    const void* object;
};

// Where FileMaker would crash or read memory it does not own, the stand-in stops the process with
// a line on standard error naming the operation, so that no test passes over such a call: every
// FM_ operation first checks that its error record is there and of the host's version, and that
// each object it takes by reference is there.
void CheckCall(const char* operation, const FMX_Except* x,
               std::initializer_list<SReference> references = {}) noexcept;

inline void Report(FMX_Except* x, FMX_ErrorCode code) {
    if (x != nullptr) {
        x->m_code = code;
    }
}

// Runs an operation's body with the error record cleared first. The library's containers throw
// only when memory runs out (bad_alloc, or length_error for an absurd size), and no exception may
// cross into a plug-in, so any of them is reported as out of memory.
template <typename Result, typename Body>
Result Guarded(FMX_Except* x, Result onFailure, Body&& body) noexcept {
    Report(x, kFMX_ErrNone);
    try {
        return body();
    } catch (const std::exception&) {
        Report(x, kFMX_ErrOutOfMemory);
        return onFailure;
    }
}

template <typename Body>
void Guarded(FMX_Except* x, Body&& body) noexcept {
    Report(x, kFMX_ErrNone);
    try {
        body();
    } catch (const std::exception&) {
        Report(x, kFMX_ErrOutOfMemory);
    }
}

// Makes an object for a plug-in and counts it as live; nothing leaks if counting it fails.
template <typename Object, ObjectKind kind>
Object* NewLiveObject(const char* operation, FMX_Except* x, const Object& initial) noexcept {
    CheckCall(operation, x);
    return Guarded(x, static_cast<Object*>(nullptr), [&] {
        auto object = std::make_unique<Object>(initial);
        AddLiveObject(object.get(), kind);
        return object.release();
    });
}

// Deletes an object a plug-in made, or reports a bad parameter when it is not one.
template <typename Object, ObjectKind kind>
void DeleteLiveObject(const char* operation, Object* object, FMX_Except* x) noexcept {
    CheckCall(operation, x);
    Guarded(x, [&] {
        if (object == nullptr || !RemoveLiveObject(object, kind)) {
            Report(x, kFMX_ErrUnknown);
            return;
        }
        delete object;
    });
}

}  // namespace fmwrapper

#endif
