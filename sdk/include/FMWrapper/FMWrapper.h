/*
 * The host's plug-in interface as a plug-in sees it: the call block of the entry point, the
 * signature of an external function, and the FM_ operations the plug-in may call. Every operation
 * reports failure through the error record passed last; it never throws.
 *
 * This is our stand-in for the vendor's FMWrapper. It keeps to what a plug-in needs of it, so the
 * vendor's library can replace it without touching the plug-in's sources.
 */
#ifndef FMWRAPPER_FMWRAPPER_H
#define FMWRAPPER_FMWRAPPER_H

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

typedef int32_t FMX_ErrorCode;

/* The trailing error record of every operation: m_code is 0 after success. */
typedef struct FMX_Except {
    int32_t m_vers;
    int32_t m_code;
} FMX_Except;

enum {
    kFMX_ErrNone = 0,
    kFMX_ErrOutOfMemory = 1,
    kFMX_ErrBadParameter = 2,
    kFMX_ErrUnsupportedEncoding = 3
};

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
    kFMXT_Init = 0,
    kFMXT_Idle = 1,
    kFMXT_External = 2,
    kFMXT_DoAppPreferences = 5,
    kFMXT_Shutdown = 4,
    kFMXT_GetString = 7
};

/* String ids of kFMXT_GetString. */
enum {
    kFMXT_NameStr = 128,
    kFMXT_AppConfigStr = 129,
    kFMXT_HelpURLStr = 130,
    kFMXT_OptionsStr = 131
};

/* Application kinds of kFMXT_Init (parm1); 3, 4 and 5 are server hosts. */
enum {
    kFMXT_Developer = 0,
    kFMXT_Pro = 1,
    kFMXT_Runtime = 2,
    kFMXT_Server = 3,
    kFMXT_Web = 4,
    kFMXT_Mobile = 5
};

/* The call block handed to FMExternCallProc. */
typedef struct FMX_ExternCallStruct {
    int16_t extnVersion; /* the host's plug-in interface version */
    uint8_t whichCall;   /* the message */
    uint8_t parm1;       /* kFMXT_Init: application kind; kFMXT_GetString: string id */
    uint32_t parm2;      /* kFMXT_GetString: size of the answer buffer in 16-bit characters */
    void* instanceID;    /* the plug-in's own module, as the host loaded it */
    intptr_t result;     /* kFMXT_Init: the answer; kFMXT_GetString: the answer buffer */
} FMX_ExternCallStruct;

typedef FMX_ExternCallStruct* FMX_ExternCallPtr;
typedef void (*FMX_ExternCallProc)(FMX_ExternCallPtr pb);

/* Defined by the plug-in: the call block of the most recent call of its entry point. */
extern FMX_ExternCallPtr gFMX_ExternCallPtr;

/* An external function as the calculation engine calls it. */
typedef FMX_ErrorCode (*FMX_ExternalFunction)(int16_t functionId, const FMX_ExprEnv* env,
                                              const FMX_DataVect* parms, FMX_Data* result);

/* Registration flags word: compatible with every kind of host. */
enum { kFMX_AllCompatible = 0xFF01 };

FMX_API FMX_QuadChar* FM_QuadChar_Constructor2(char c0, char c1, char c2, char c3, FMX_Except* x);
FMX_API void FM_QuadChar_Delete(FMX_QuadChar* quad, FMX_Except* x);

FMX_API FMX_Text* FM_Text_Constructor1(FMX_Except* x);
FMX_API void FM_Text_Delete(FMX_Text* text, FMX_Except* x);
/* Replaces the text by the zero-terminated byte string s, read in the given encoding. A null s is
 * kFMX_ErrBadParameter and leaves the text as it was. */
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
 * registration; an empty name or minArgs outside 0..maxArgs is kFMX_ErrBadParameter. Unregistering
 * a function that is not registered returns kFMX_ErrBadParameter but leaves x clear. */
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
