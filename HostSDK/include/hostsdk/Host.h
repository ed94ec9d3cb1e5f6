// The host side of the stand-in: one process-wide host that the simulator
// configures and inspects, and whose tables the plug-in fills through
// fmx::ExprEnv. Every operation is thread-safe.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hostsdk/CallBlock.h"
#include "hostsdk/Export.h"
#include "hostsdk/ExprEnv.h"
#include "hostsdk/QuadChar.h"

namespace fmx {
class Text;
class Data;
}  // namespace fmx

namespace hostsim {

// A host file: an SQLite database attached under a name.
struct AttachedFile {
    std::string name;
    std::string path;
    FMX_PtrType file_id;
};

// Texts are UTF-8.
struct RegisteredFunction {
    fmx::QuadChar plugin_id;
    FMX_Int16 function_id;
    std::string name;
    std::string prototype;
    std::string description;  // empty unless registered with the Ex form
    FMX_Int16 min_args;
    FMX_Int16 max_args;       // -1: no upper limit
    FMX_UInt32 flags;
    fmx::ExtPluginType entry;
};

struct RegisteredScriptStep {
    fmx::QuadChar plugin_id;
    FMX_Int16 step_id;
    std::string name;
    std::string definition;
    std::string description;
    FMX_UInt32 flags;
    fmx::ExtPluginType entry;
};

// One run of the start-script entry that found its script.
struct TriggeredScript {
    std::string file;
    std::string script;
    FMX_ScriptControl control;
    bool has_parameter;
    std::string parameter;  // the parameter's text form
};

class FMX_API Host {
public:
    static Host& instance();

    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Back to a new host: no files, scripts, registrations or records,
    // session id 0.
    void reset();

    // Attaches an SQLite database as host file `name` and returns its file id
    // (ids count from 1). The first attached file is the current file.
    // Attaching a name again replaces its path and keeps its id.
    FMX_PtrType attach_file(const std::string& name, const std::string& sqlitePath);
    std::vector<AttachedFile> files() const;
    // Names compare without regard to ASCII case.
    std::optional<AttachedFile> find_file(const std::string& name) const;
    std::optional<AttachedFile> find_file_by_id(FMX_PtrType fileId) const;
    std::optional<AttachedFile> current_file() const;
    // 0 when no file is attached.
    FMX_PtrType current_file_id() const;

    void set_session_id(FMX_PtrType sessionId);
    FMX_PtrType session_id() const;
    // An environment in the current session and file.
    fmx::ExprEnv current_environment() const;

    // Script names compare without regard to ASCII case.
    void declare_script(const std::string& name);
    std::vector<std::string> scripts() const;
    // The start-script entry: kErrScriptMissing (nothing recorded) for a
    // script that was not declared; otherwise records the run and returns 0.
    FMX_ErrorCode start_script(const std::string& file, const std::string& script,
                               FMX_ScriptControl control, const fmx::Data* parameter);
    std::vector<TriggeredScript> triggered_scripts() const;
    void clear_triggered_scripts();

    FMX_ErrorCode register_function(const RegisteredFunction& function);
    FMX_ErrorCode unregister_function(const fmx::QuadChar& pluginId, FMX_Int16 functionId);
    FMX_ErrorCode register_script_step(const RegisteredScriptStep& step);
    FMX_ErrorCode unregister_script_step(const fmx::QuadChar& pluginId, FMX_Int16 stepId);
    // In registration order.
    std::vector<RegisteredFunction> functions() const;
    std::vector<RegisteredScriptStep> script_steps() const;
    // By name without regard to ASCII case (the calculator's lookup).
    std::optional<RegisteredFunction> find_function(const std::string& name) const;
    std::optional<RegisteredScriptStep> find_script_step(const std::string& name) const;

    // The entries for the call block's cStartScript and cCurrentEnv.
    static FMX_StartScriptCall start_script_entry();
    static FMX_CurrentEnvCall current_env_entry();

private:
    Host();

    mutable std::mutex lock_;
    std::vector<AttachedFile> files_;
    FMX_PtrType next_file_id_;
    FMX_PtrType session_id_;
    std::vector<std::string> scripts_;
    std::vector<TriggeredScript> triggered_;
    std::vector<RegisteredFunction> functions_;
    std::vector<RegisteredScriptStep> steps_;
};

// The calculation language of the simulator: evaluates `expression` in `env`
// into `result`; 0 or a host error number.
FMX_API FMX_ErrorCode evaluate_expression(const fmx::Text& expression, const fmx::ExprEnv& env,
                                          fmx::Data& result);

}  // namespace hostsim
