#include "hostsdk/ExprEnv.h"

#include "hostsdk/Host.h"
#include "hostsdk/QuadChar.h"
#include "hostsdk/Text.h"

namespace fmx {

ExprEnv::ExprEnv() : ExprEnv(hostsim::Host::instance().current_environment()) {}

ExprEnv::ExprEnv(FMX_PtrType sessionId, FMX_PtrType fileId) : session_id_(sessionId), file_id_(fileId) {}

FMX_PtrType ExprEnv::SessionID() const { return session_id_; }
FMX_PtrType ExprEnv::FileID() const { return file_id_; }
void ExprEnv::SetSessionID(FMX_PtrType sessionId) { session_id_ = sessionId; }
void ExprEnv::SetFileID(FMX_PtrType fileId) { file_id_ = fileId; }

FMX_ErrorCode ExprEnv::Evaluate(const Text& expression, Data& result) const {
    return hostsim::evaluate_expression(expression, *this, result);
}

FMX_ErrorCode ExprEnv::RegisterExternalFunction(const QuadChar& pluginId, FMX_Int16 functionId, const Text& name,
                                                const Text& prototype, FMX_Int16 minArgs, FMX_Int16 maxArgs,
                                                FMX_UInt32 compatibleOnFlags, ExtPluginType funcPtr) {
    return hostsim::Host::instance().register_function({pluginId, functionId, name.GetUTF8(), prototype.GetUTF8(),
                                                        std::string(), minArgs, maxArgs, compatibleOnFlags,
                                                        funcPtr});
}

FMX_ErrorCode ExprEnv::RegisterExternalFunctionEx(const QuadChar& pluginId, FMX_Int16 functionId,
                                                  const Text& name, const Text& prototype,
                                                  const Text& description, FMX_Int16 minArgs, FMX_Int16 maxArgs,
                                                  FMX_UInt32 compatibleOnFlags, ExtPluginType funcPtr) {
    return hostsim::Host::instance().register_function({pluginId, functionId, name.GetUTF8(), prototype.GetUTF8(),
                                                        description.GetUTF8(), minArgs, maxArgs,
                                                        compatibleOnFlags, funcPtr});
}

FMX_ErrorCode ExprEnv::UnRegisterExternalFunction(const QuadChar& pluginId, FMX_Int16 functionId) {
    return hostsim::Host::instance().unregister_function(pluginId, functionId);
}

FMX_ErrorCode ExprEnv::RegisterScriptStep(const QuadChar& pluginId, FMX_Int16 scriptStepId,
                                          const Text& scriptStepName, const Text& scriptStepDefinition,
                                          const Text& scriptStepDescription, FMX_UInt32 compatibleOnFlags,
                                          ExtPluginType funcPtr) {
    return hostsim::Host::instance().register_script_step({pluginId, scriptStepId, scriptStepName.GetUTF8(),
                                                           scriptStepDefinition.GetUTF8(),
                                                           scriptStepDescription.GetUTF8(), compatibleOnFlags,
                                                           funcPtr});
}

FMX_ErrorCode ExprEnv::UnRegisterScriptStep(const QuadChar& pluginId, FMX_Int16 scriptStepId) {
    return hostsim::Host::instance().unregister_script_step(pluginId, scriptStepId);
}

}  // namespace fmx
