// The calculation environment the host hands to plug-in code: the session
// and file it runs in, expression evaluation, SQL on the host's files and
// the registration of plug-in functions and script steps.
#pragma once

#include "hostsdk/CallBlock.h"
#include "hostsdk/Export.h"

namespace fmx {

class Text;
class Data;
class DataVect;
class RowVect;
class QuadChar;
class ExprEnv;

// The entry the host calls for a registered function or script step.
typedef FMX_ErrorCode (*ExtPluginType)(FMX_Int16 functionId, const ExprEnv& env,
                                       const DataVect& parameters, Data& result);

class FMX_API ExprEnv {
public:
    // Flags of RegisterExternalFunction: which hosts may call the function.
    enum : FMX_UInt32 {
        kMayEvaluateOnServer = 0x00000001,
        kDisplayInAllDialogs = 0x0000FF00,
        kFutureCompatible = 0x00FF0000
    };
    // Flags of RegisterScriptStep.
    enum : FMX_UInt32 {
        kAllowedOnServer = 0x00000001,
        kAllowedOnWeb = 0x00000002
    };

    // The host's current environment: its current session and file.
    ExprEnv();
    ExprEnv(FMX_PtrType sessionId, FMX_PtrType fileId);

    FMX_PtrType SessionID() const;
    FMX_PtrType FileID() const;
    // Host side: the simulator places a call in a session and file.
    void SetSessionID(FMX_PtrType sessionId);
    void SetFileID(FMX_PtrType fileId);

    // Evaluates a calculation in this environment; 0 or a host error number.
    FMX_ErrorCode Evaluate(const Text& expression, Data& result) const;

    // Runs `sql` on the attached file `fileName` (the current file when
    // empty), binding `parameters` to its placeholders in order. Each result
    // row becomes one DataVect in `result` (replacing its content). Returns
    // kErrFileMissing for an unknown file and kErrSQL when the SQL engine
    // reports an error.
    FMX_ErrorCode ExecuteFileSQL(const Text& sql, const Text& fileName, const DataVect& parameters,
                                 RowVect& result) const;
    // The same with the rows as one text: columns joined by `colSep`, rows by
    // `rowSep` (each one UTF-16 unit).
    FMX_ErrorCode ExecuteFileSQLTextResult(const Text& sql, const Text& fileName,
                                           const DataVect& parameters, Data& result,
                                           FMX_UInt16 colSep, FMX_UInt16 rowSep) const;

    // Registration into the host's tables; 0 on success. Registering an id
    // that the plug-in already has replaces the entry. kErrInvalidArgument
    // for a null entry, an empty name or minArgs above a non-negative maxArgs
    // (-1 = any number of arguments).
    static FMX_ErrorCode RegisterExternalFunction(const QuadChar& pluginId, FMX_Int16 functionId,
                                                  const Text& name, const Text& prototype,
                                                  FMX_Int16 minArgs, FMX_Int16 maxArgs,
                                                  FMX_UInt32 compatibleOnFlags, ExtPluginType funcPtr);
    static FMX_ErrorCode RegisterExternalFunctionEx(const QuadChar& pluginId, FMX_Int16 functionId,
                                                    const Text& name, const Text& prototype,
                                                    const Text& description, FMX_Int16 minArgs,
                                                    FMX_Int16 maxArgs, FMX_UInt32 compatibleOnFlags,
                                                    ExtPluginType funcPtr);
    // kErrNotFound when the plug-in has no such function.
    static FMX_ErrorCode UnRegisterExternalFunction(const QuadChar& pluginId, FMX_Int16 functionId);
    static FMX_ErrorCode RegisterScriptStep(const QuadChar& pluginId, FMX_Int16 scriptStepId,
                                            const Text& scriptStepName,
                                            const Text& scriptStepDefinition,
                                            const Text& scriptStepDescription,
                                            FMX_UInt32 compatibleOnFlags, ExtPluginType funcPtr);
    static FMX_ErrorCode UnRegisterScriptStep(const QuadChar& pluginId, FMX_Int16 scriptStepId);

private:
    FMX_PtrType session_id_;
    FMX_PtrType file_id_;
};

}  // namespace fmx
