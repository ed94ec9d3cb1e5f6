// The host's plug-in call convention: the call block handed to a plug-in's
// entry on every call, the call codes and the scalar types they use.
#pragma once

#include <cstdint>

typedef int16_t   FMX_Int16;
typedef uint16_t  FMX_UInt16;
typedef int32_t   FMX_Int32;
typedef uint32_t  FMX_UInt32;
typedef int64_t   FMX_Int64;
typedef uint8_t   FMX_UChar;
typedef uint16_t  FMX_Unichar;
typedef uint8_t   FMX_Boolean;
typedef uint8_t   FMX_Application;
typedef uint8_t   FMX_ScriptControl;
typedef uintptr_t FMX_PtrType;
typedef intptr_t  FMX_IntPtr;
typedef int16_t   FMX_ErrorCode;  // 0 = no error

namespace fmx {
class Text;
class Data;
class ExprEnv;
}

struct FMX_ExternCallStruct;
typedef FMX_ExternCallStruct* FMX_ExternCallPtr;

extern "C" {
typedef void (*FMX_ExternCallProc)(FMX_ExternCallPtr pb);
}

// Runs a host script: file name, script name, control value, optional parameter.
typedef FMX_ErrorCode (*FMX_StartScriptCall)(const fmx::Text* fileName, const fmx::Text* scriptName,
                                             FMX_ScriptControl control, const fmx::Data* parameter);
// Fills `env` with the host's current calculation environment.
typedef FMX_ErrorCode (*FMX_CurrentEnvCall)(fmx::ExprEnv* env);

struct FMX_ExternCallStruct {
    FMX_Int16 extnVersion;            // Init: the host's plug-in API version
    FMX_ExternCallProc entryPoint;    // the entry the host called
    FMX_Boolean cfmCalls;             // GetString: 1 marks a dummy script engine
    FMX_Int16 whichCall;              // call code (kFMXT_*)
    FMX_Boolean unsafeCalls;
    FMX_UInt32 parm1;                 // Init: application type; Idle: level; GetString: string id
    FMX_PtrType parm2;                // Init: UTF-16 version text; Idle, session, file: session id
    FMX_PtrType parm3;                // GetString: buffer size in UTF-16 units; file end: file id
    FMX_PtrType instanceID;
    FMX_CurrentEnvCall cCurrentEnv;
    FMX_StartScriptCall cStartScript;
    FMX_IntPtr result;                // Init: -2 / 65; GetString: address of the UTF-16 buffer
};

// Call codes.
enum : FMX_Int16 {
    kFMXT_Init = 0,
    kFMXT_Idle = 1,
    kFMXT_Shutdown = 4,
    kFMXT_DoAppPreferences = 5,
    kFMXT_GetString = 7,
    kFMXT_SessionShutdown = 8,
    kFMXT_FileShutdown = 9
};

// Application types (Init parm1).
enum : FMX_Application {
    kFMXT_Developer = 0,
    kFMXT_Pro = 1,
    kFMXT_Runtime = 2,
    kFMXT_Server = 3,
    kFMXT_Web = 4,
    kFMXT_Mobile = 5,
    kFMXT_XDBC = 6,
    kFMXT_SASE = 7,
    kFMXT_IWP = 8,
    kFMXT_FMDAPI = 9
};

// Idle levels (Idle parm1).
enum : FMX_UInt32 {
    kFMXT_UserIdle = 0,
    kFMXT_UserNotIdle = 1,
    kFMXT_ScriptPaused = 2,
    kFMXT_ScriptRunning = 3,
    kFMXT_Unsafe = 4
};

// String ids (GetString parm1).
enum : FMX_UInt32 {
    kFMXT_NameStr = 128,
    kFMXT_AppConfigStr = 129,
    kFMXT_OptionsStr = 131,
    kFMXT_HelpURLStr = 132
};

// Init results.
enum : FMX_IntPtr {
    kDoNotEnable = -2,
    kCurrentExtnVersion = 65
};

// Script control values for FMX_StartScriptCall.
enum : FMX_ScriptControl {
    kFMXT_Halt = 0,
    kFMXT_Exit = 1,
    kFMXT_Resume = 2,
    kFMXT_Pause = 3
};
