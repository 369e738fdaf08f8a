/*
 * The host's plug-in interface as a plug-in sees it: the call block of the entry point, the
 * signature of an external function, and the FM_ operations the plug-in may call. Every operation
 * reports failure through the error record passed last; it never throws.
 *
 * These are our own declarations of the host's interface, laid out as the host lays it out, and
 * every build of the plug-in compiles against them. They keep to what a plug-in needs, so the
 * host's own library (FileMaker's FMWrapper) replaces our stand-in without touching the
 * plug-in's sources.
 *
 * The host takes every object argument (the object an operation works on, and the four-character
 * codes, texts, locales and data it reads) by reference: a null pointer there crashes FileMaker.
 */
#ifndef FMWRAPPER_FMWRAPPER_H
#define FMWRAPPER_FMWRAPPER_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(FMWRAPPER_BUILDING)
#define FMX_API __declspec(dllexport)
#else
#define FMX_API __declspec(dllimport)
#endif
#else
#define FMX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The convention the host calls a plug-in's registered functions in: __stdcall on 32-bit
 * Windows, the platform's default elsewhere. The entry point and the host's own operations keep
 * the default everywhere. */
#if defined(_WIN32) && !defined(_WIN64)
#define FMX_PROC(type) type __stdcall
#define FMX_PROCPTR(type, name) typedef type(__stdcall* name)
#else
#define FMX_PROC(type) type
#define FMX_PROCPTR(type, name) typedef type(*name)
#endif

/* The host's error codes are 16 bits wide; only the low half of a wider register is its. */
typedef int16_t FMX_ErrorCode;
/* The call block's pointer-sized fields: unsigned integers as wide as a pointer. */
typedef uintptr_t FMX_PtrType;
#if defined(_WIN32)
typedef int16_t FMX_UnusedId;
#else
typedef int32_t FMX_UnusedId;
#endif

enum { kFMX_ErrNone = 0, kFMX_ErrOutOfMemory = 1, kFMX_ErrUnknown = 2 };

/* The version of the error record the host's SDK hands its library: the SDK's record makes itself
 * version 1, and what the host does with any other is not published. */
enum { kFMX_ExceptVersion = 1 };

/* The trailing error record of every operation: m_code is 0 after success. In C++ a record made
 * without values ({} included) is version 1, as the SDK's own is. */
typedef struct FMX_Except {
#ifdef __cplusplus
    int32_t m_vers = kFMX_ExceptVersion;
    int32_t m_code = kFMX_ErrNone;
#else
    int32_t m_vers;
    int32_t m_code;
#endif
} FMX_Except;

/* Text encodings of FM_Text_Assign and FM_Text_GetBytes. Native is UTF-8 on Linux. */
enum { kFMX_EncodingNative = 0, kFMX_EncodingUTF8 = 1 };

/* Data type of FM_Data_SetAsText. */
enum { kFMX_DataTypeText = 1 };

/* Locale type of FM_Locale_Constructor1. */
enum { kFMX_LocaleSystem = 1 };

/* Host objects; their layout is the host's. */
typedef struct FMX_QuadChar FMX_QuadChar;
typedef struct FMX_Text FMX_Text;
typedef struct FMX_Locale FMX_Locale;
typedef struct FMX_Data FMX_Data;
typedef struct FMX_DataVect FMX_DataVect;
typedef struct FMX_ExprEnv FMX_ExprEnv;

/* Messages of the entry point (FMX_ExternCallStruct::whichCall). */
enum {
    kFMXT_Init = 0,     /* parm1: application kind; parm2: the host's version, UTF-16 */
    kFMXT_Idle = 1,     /* parm1: how idle the user is */
    kFMXT_External = 3, /* no longer sent */
    kFMXT_Shutdown = 4,
    kFMXT_DoAppPreferences = 5,
    kFMXT_GetString = 7,       /* parm1: string id; parm2: Windows language id; parm3: buffer
                                  size in 16-bit characters; result: the buffer */
    kFMXT_SessionShutdown = 8, /* parm2: session */
    kFMXT_FileShutdown = 9     /* parm2: session; parm3: file */
};

/* String ids of kFMXT_GetString. */
enum {
    kFMXT_NameStr = 128,
    kFMXT_AppConfigStr = 129,
    kFMXT_OptionsStr = 131,
    kFMXT_HelpURLStr = 132
};

/* Application kinds of kFMXT_Init (parm1): the desktop application is 0 to 2; every other kind is
 * a process of FileMaker Server, FileMaker Go or a tool. */
enum {
    kFMXT_Developer = 0, /* FileMaker Pro Advanced, the developer edition */
    kFMXT_Pro = 1,
    kFMXT_Runtime = 2, /* a runtime solution */
    kFMXT_Server = 3,
    kFMXT_Web = 4, /* web publishing */
    kFMXT_Mobile = 5,
    kFMXT_XDBC = 6,
    kFMXT_SASE = 7,   /* the server's script engine */
    kFMXT_IWP = 8,    /* Instant Web Publishing */
    kFMXT_FMDAPI = 9, /* the Data API */
    kFMXT_OData = 11,
    kFMXT_Tool = 99 /* a command-line tool */
};

struct FMX_ExternCallStruct;
typedef struct FMX_ExternCallStruct* FMX_ExternCallPtr;
typedef void (*FMX_ExternCallProc)(FMX_ExternCallPtr pb);

/* Call-backs the host offers in the call block; the plug-in does not use them. */
FMX_PROCPTR(FMX_ErrorCode, FMX_StartScriptCall)
(const FMX_Text* fileName, const FMX_Text* scriptName, uint8_t control, const FMX_Data* parameter);
FMX_PROCPTR(FMX_ErrorCode, FMX_CurrentEnvCall)(FMX_ExprEnv* env);

/* The call block handed to FMExternCallProc, packed to one byte on every platform. */
#pragma pack(push, 1)
typedef struct FMX_ExternCallStruct {
    int16_t extnVersion;   /* the host's plug-in interface version */
    FMX_UnusedId unusedID; /* -1 */
    FMX_ExternCallProc entryPoint;
    char cfmCalls;     /* 0 */
    uint8_t whichCall; /* the message */
    char unsafeCalls;  /* true off the host's main thread */
    uint8_t parm1;
    FMX_PtrType parm2;
    FMX_PtrType parm3;
    FMX_PtrType instanceID; /* the plug-in's own module, as the host loaded it */
    FMX_PtrType result;     /* kFMXT_Init: the answer; kFMXT_GetString: the answer buffer */
    FMX_PtrType unused;
#if defined(_WIN32) && !defined(_WIN64)
    FMX_PtrType obsoleteCallbacks[10]; /* the memory call-backs of 32-bit hosts */
#endif
    FMX_StartScriptCall cStartScript;
    FMX_CurrentEnvCall cCurrentEnv;
} FMX_ExternCallStruct;
#pragma pack(pop)

/* The layout the host writes, byte by byte: a build whose compiler lays the block out otherwise
 * fails here rather than in FileMaker. */
#if defined(_WIN64)
#define FMX_CALL_BLOCK_OFFSETS 2, 4, 12, 13, 14, 15, 16, 24, 32, 40, 48, 56, 64, 72
#elif defined(_WIN32)
#define FMX_CALL_BLOCK_OFFSETS 2, 4, 8, 9, 10, 11, 12, 16, 20, 24, 28, 72, 76, 80
#elif defined(__LP64__)
#define FMX_CALL_BLOCK_OFFSETS 2, 6, 14, 15, 16, 17, 18, 26, 34, 42, 50, 58, 66, 74
#else
#error "The host's call block is laid out for Windows (x86, x64), the Mac and Linux (64-bit) only"
#endif
#ifdef __cplusplus
#define FMX_STATIC_ASSERT static_assert
#else
#define FMX_STATIC_ASSERT _Static_assert
#endif
#define FMX_AT(field, offset) \
    FMX_STATIC_ASSERT(offsetof(FMX_ExternCallStruct, field) == (offset), #field " at " #offset)
#define FMX_CHECK_CALL_BLOCK(unusedIDAt, entryPointAt, cfmCallsAt, whichCallAt, unsafeCallsAt, \
                             parm1At, parm2At, parm3At, instanceIDAt, resultAt, unusedAt,      \
                             cStartScriptAt, cCurrentEnvAt, size)                              \
    FMX_AT(extnVersion, 0);                                                                    \
    FMX_AT(unusedID, unusedIDAt);                                                              \
    FMX_AT(entryPoint, entryPointAt);                                                          \
    FMX_AT(cfmCalls, cfmCallsAt);                                                              \
    FMX_AT(whichCall, whichCallAt);                                                            \
    FMX_AT(unsafeCalls, unsafeCallsAt);                                                        \
    FMX_AT(parm1, parm1At);                                                                    \
    FMX_AT(parm2, parm2At);                                                                    \
    FMX_AT(parm3, parm3At);                                                                    \
    FMX_AT(instanceID, instanceIDAt);                                                          \
    FMX_AT(result, resultAt);                                                                  \
    FMX_AT(unused, unusedAt);                                                                  \
    FMX_AT(cStartScript, cStartScriptAt);                                                      \
    FMX_AT(cCurrentEnv, cCurrentEnvAt);                                                        \
    FMX_STATIC_ASSERT(sizeof(FMX_ExternCallStruct) == (size), "call block size")
#define FMX_CHECK_CALL_BLOCK_AT(offsets) FMX_CHECK_CALL_BLOCK(offsets)
FMX_CHECK_CALL_BLOCK_AT(FMX_CALL_BLOCK_OFFSETS);

/* Defined by the plug-in: the call block of the most recent call of its entry point. */
extern FMX_ExternCallPtr gFMX_ExternCallPtr;

/* An external function as the calculation engine calls it. */
FMX_PROCPTR(FMX_ErrorCode, FMX_ExternalFunction)
(int16_t functionId, const FMX_ExprEnv* env, const FMX_DataVect* parms, FMX_Data* result);

/* Registration flags word: compatible with every kind of host. */
enum { kFMX_AllCompatible = 0xFF01 };

FMX_API FMX_QuadChar* FM_QuadChar_Constructor2(char c0, char c1, char c2, char c3, FMX_Except* x);
FMX_API void FM_QuadChar_Delete(FMX_QuadChar* quad, FMX_Except* x);

FMX_API FMX_Text* FM_Text_Constructor1(FMX_Except* x);
FMX_API void FM_Text_Delete(FMX_Text* text, FMX_Except* x);
/* Replaces the text by the zero-terminated byte string s, read in the given encoding. A null s is
 * kFMX_ErrUnknown and leaves the text as it was. */
FMX_API void FM_Text_Assign(FMX_Text* text, const char* s, int32_t encoding, FMX_Except* x);
/* Length of the text in 16-bit characters. */
FMX_API uint32_t FM_Text_GetSize(const FMX_Text* text, FMX_Except* x);
/* Writes the characters [position, position + size) in the given encoding into buffer: at most
 * bufferSize - 1 bytes, whole characters only, then a zero byte. size 0xFFFFFFFF means to the end.
 * A null buffer or a bufferSize of 0 gets nothing written. */
FMX_API void FM_Text_GetBytes(const FMX_Text* text, char* buffer, uint32_t bufferSize,
                              uint32_t position, uint32_t size, int32_t encoding, FMX_Except* x);

FMX_API FMX_Locale* FM_Locale_Constructor1(int32_t type, FMX_Except* x);
FMX_API void FM_Locale_Delete(FMX_Locale* locale, FMX_Except* x);

/* The parameter vector and its members belong to the host. */
FMX_API uint32_t FM_DataVect_Size(const FMX_DataVect* vect, FMX_Except* x);
FMX_API const FMX_Text* FM_DataVect_AtAsText(const FMX_DataVect* vect, uint32_t position,
                                             FMX_Except* x);
FMX_API const FMX_Data* FM_DataVect_At(const FMX_DataVect* vect, uint32_t position, FMX_Except* x);

FMX_API const FMX_Locale* FM_Data_GetLocale(const FMX_Data* data, FMX_Except* x);
FMX_API FMX_ErrorCode FM_Data_SetAsText(FMX_Data* data, const FMX_Text* text,
                                        const FMX_Locale* locale, int32_t dataType, FMX_Except* x);

/* Both return 0 on success. Registering a plug-in id and function id again replaces the earlier
 * registration; a maxArgs of -1 takes any number of parameters from minArgs on; an empty name or
 * minArgs outside 0..maxArgs is kFMX_ErrUnknown. Unregistering a function that is not registered
 * returns kFMX_ErrUnknown but leaves x clear. */
FMX_API FMX_ErrorCode FM_ExprEnv_RegisterExternalFunction(
    const FMX_QuadChar* pluginId, int16_t functionId, const FMX_Text* name,
    const FMX_Text* prototype, int16_t minArgs, int16_t maxArgs, uint32_t compatibleFlags,
    FMX_ExternalFunction handler, FMX_Except* x);
FMX_API FMX_ErrorCode FM_ExprEnv_UnRegisterExternalFunction(const FMX_QuadChar* pluginId,
                                                            int16_t functionId, FMX_Except* x);

#ifdef __cplusplus
}
#endif

#endif
