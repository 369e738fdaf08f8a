/*
 * The host's side of the stand-in SDK: what the stand-in FileMaker (fmhost) and the tests need to
 * play the host. Plug-ins never include this header.
 */
#ifndef FMWRAPPER_FMHOST_H
#define FMWRAPPER_FMHOST_H

#include <stddef.h>
#include <stdint.h>

#include "FMWrapper/FMWrapper.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A registration's maxArgs that takes any number of parameters from minArgs on. */
enum { kFMHost_AnyNumberOfArgs = -1 };

/* One row of the register table that FM_ExprEnv_RegisterExternalFunction fills. */
typedef struct FMHost_Registration {
    char pluginId[5]; /* the four characters of the plug-in identifier and a zero */
    int16_t functionId;
    int16_t minArgs;
    int16_t maxArgs;
    uint32_t flags;
    FMX_ExternalFunction handler;
    char name[128];      /* UTF-8, cut to fit */
    char prototype[256]; /* UTF-8, cut to fit */
} FMHost_Registration;

/* Number of functions registered now. */
FMX_API uint32_t FMHost_RegisteredCount(void);
/* Copies row `index` (in order of registration) into *out and returns 1; returns 0 when there is no
 * such row. A replaced registration keeps its place. */
FMX_API int FMHost_RegisteredAt(uint32_t index, FMHost_Registration* out);
/* Finds a registered function by name, the case of ASCII letters ignored, copies its row into *out
 * and returns 1; returns 0 when none is registered. */
FMX_API int FMHost_FindFunction(const char* utf8Name, FMHost_Registration* out);
/* Empties the register table. */
FMX_API void FMHost_ClearRegistrations(void);
/* From now on every registration fails with `code` and leaves the table as it is, as a host short
 * of memory would; kFMX_ErrNone accepts registrations again. */
FMX_API void FMHost_RefuseRegistrations(FMX_ErrorCode code);

/* A parameter vector the host builds for a call; each member is a text with a system locale. */
FMX_API FMX_DataVect* FMHost_DataVect_New(void);
FMX_API void FMHost_DataVect_Delete(FMX_DataVect* vect);
/* Returns 1, or 0 when vect or utf8 is null or memory runs out. */
FMX_API int FMHost_DataVect_AppendText(FMX_DataVect* vect, const char* utf8);
/* The same for the `size` bytes at utf8, which may hold zero bytes: the text then holds U+0000,
 * as a host's text can. */
FMX_API int FMHost_DataVect_AppendTextBytes(FMX_DataVect* vect, const char* utf8, size_t size);

/* A result object; "set" is false until the function sets it. */
FMX_API FMX_Data* FMHost_Data_New(void);
FMX_API void FMHost_Data_Delete(FMX_Data* data);
FMX_API int FMHost_Data_IsSet(const FMX_Data* data);
/* Writes the data's text as UTF-8 with a terminating zero into buffer when it fits in size bytes,
 * else an empty string when size > 0; returns the number of bytes the text needs, without the zero.
 */
FMX_API size_t FMHost_Data_GetText(const FMX_Data* data, char* buffer, size_t size);
/* The locale the function set the result with (null while unset). */
FMX_API const FMX_Locale* FMHost_Data_Locale(const FMX_Data* data);
/* The locale of member `position` of a parameter vector. */
FMX_API const FMX_Locale* FMHost_DataVect_LocaleAt(const FMX_DataVect* vect, uint32_t position);

/* Number of FM_ calls made so far. Each carried an error record of kFMX_ExceptVersion and every
 * object the host takes by reference: any other call stops the process with a line on standard
 * error, since FileMaker's own library would not survive it. */
FMX_API uint32_t FMHost_CheckedCallCount(void);

/* Number of host objects (texts, locales, four-character codes) alive now; lets tests see that a
 * plug-in releases what it creates. Only objects made through FM_..._Constructor count; deleting
 * one twice, or deleting an object the host owns, is refused with kFMX_ErrUnknown. */
FMX_API long FMHost_LiveObjectCount(void);

/* Converts count UTF-16 units (a lone surrogate becomes U+FFFD) to UTF-8 the way
 * FMHost_Data_GetText writes a text, and returns the number of bytes they need; lets the host read
 * a plug-in's kFMXT_GetString answer. Gives an empty string when memory runs out. */
FMX_API size_t FMHost_Utf16ToUtf8(const uint16_t* units, size_t count, char* buffer, size_t size);

#ifdef __cplusplus
}
#endif

#endif
