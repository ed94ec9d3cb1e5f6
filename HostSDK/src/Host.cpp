#include "hostsdk/Host.h"

#include <algorithm>

#include "Names.h"
#include "hostsdk/Data.h"
#include "hostsdk/Errors.h"
#include "hostsdk/Text.h"

namespace hostsim {

using hostsdk_detail::same_name;

namespace {

FMX_ErrorCode start_script_call(const fmx::Text* fileName, const fmx::Text* scriptName,
                                FMX_ScriptControl control, const fmx::Data* parameter) {
    if (scriptName == nullptr) return fmx::kErrScriptMissing;
    return Host::instance().start_script(fileName == nullptr ? std::string() : fileName->GetUTF8(),
                                         scriptName->GetUTF8(), control, parameter);
}

FMX_ErrorCode current_env_call(fmx::ExprEnv* env) {
    if (env == nullptr) return fmx::kErrInvalidArgument;
    *env = Host::instance().current_environment();
    return fmx::kErrNone;
}

}  // namespace

Host& Host::instance() {
    static Host host;
    return host;
}

Host::Host() : next_file_id_(1), session_id_(0) {}

void Host::reset() {
    const std::lock_guard<std::mutex> guard(lock_);
    files_.clear();
    next_file_id_ = 1;
    session_id_ = 0;
    scripts_.clear();
    triggered_.clear();
    functions_.clear();
    steps_.clear();
}

FMX_PtrType Host::attach_file(const std::string& name, const std::string& sqlitePath) {
    const std::lock_guard<std::mutex> guard(lock_);
    for (auto& file : files_) {
        if (same_name(file.name, name)) {
            file.path = sqlitePath;
            return file.file_id;
        }
    }
    files_.push_back({name, sqlitePath, next_file_id_++});
    return files_.back().file_id;
}

std::vector<AttachedFile> Host::files() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return files_;
}

std::optional<AttachedFile> Host::find_file(const std::string& name) const {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto it = std::find_if(files_.begin(), files_.end(),
                                 [&](const AttachedFile& file) { return same_name(file.name, name); });
    if (it == files_.end()) return std::nullopt;
    return *it;
}

std::optional<AttachedFile> Host::find_file_by_id(FMX_PtrType fileId) const {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto it = std::find_if(files_.begin(), files_.end(),
                                 [&](const AttachedFile& file) { return file.file_id == fileId; });
    if (it == files_.end()) return std::nullopt;
    return *it;
}

std::optional<AttachedFile> Host::current_file() const {
    const std::lock_guard<std::mutex> guard(lock_);
    if (files_.empty()) return std::nullopt;
    return files_.front();
}

FMX_PtrType Host::current_file_id() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return files_.empty() ? 0 : files_.front().file_id;
}

void Host::set_session_id(FMX_PtrType sessionId) {
    const std::lock_guard<std::mutex> guard(lock_);
    session_id_ = sessionId;
}

FMX_PtrType Host::session_id() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return session_id_;
}

fmx::ExprEnv Host::current_environment() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return fmx::ExprEnv(session_id_, files_.empty() ? 0 : files_.front().file_id);
}

void Host::declare_script(const std::string& name) {
    const std::lock_guard<std::mutex> guard(lock_);
    const bool known = std::any_of(scripts_.begin(), scripts_.end(),
                                   [&](const std::string& script) { return same_name(script, name); });
    if (!known) scripts_.push_back(name);
}

std::vector<std::string> Host::scripts() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return scripts_;
}

FMX_ErrorCode Host::start_script(const std::string& file, const std::string& script, FMX_ScriptControl control,
                                 const fmx::Data* parameter) {
    // Read the parameter before taking the lock: its text form is the value's own.
    TriggeredScript run{file, script, control, parameter != nullptr,
                        parameter == nullptr ? std::string() : parameter->GetAsText().GetUTF8()};
    const std::lock_guard<std::mutex> guard(lock_);
    const bool known = std::any_of(scripts_.begin(), scripts_.end(),
                                   [&](const std::string& name) { return same_name(name, script); });
    if (!known) return fmx::kErrScriptMissing;
    triggered_.push_back(std::move(run));
    return fmx::kErrNone;
}

std::vector<TriggeredScript> Host::triggered_scripts() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return triggered_;
}

void Host::clear_triggered_scripts() {
    const std::lock_guard<std::mutex> guard(lock_);
    triggered_.clear();
}

FMX_ErrorCode Host::register_function(const RegisteredFunction& function) {
    if (function.entry == nullptr || function.name.empty() || function.min_args < 0 || function.max_args < -1 ||
        (function.max_args >= 0 && function.min_args > function.max_args)) {
        return fmx::kErrInvalidArgument;
    }
    const std::lock_guard<std::mutex> guard(lock_);
    const auto it = std::find_if(functions_.begin(), functions_.end(), [&](const RegisteredFunction& known) {
        return known.plugin_id == function.plugin_id && known.function_id == function.function_id;
    });
    if (it != functions_.end()) {
        *it = function;
    } else {
        functions_.push_back(function);
    }
    return fmx::kErrNone;
}

FMX_ErrorCode Host::unregister_function(const fmx::QuadChar& pluginId, FMX_Int16 functionId) {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto it = std::find_if(functions_.begin(), functions_.end(), [&](const RegisteredFunction& known) {
        return known.plugin_id == pluginId && known.function_id == functionId;
    });
    if (it == functions_.end()) return fmx::kErrNotFound;
    functions_.erase(it);
    return fmx::kErrNone;
}

FMX_ErrorCode Host::register_script_step(const RegisteredScriptStep& step) {
    if (step.entry == nullptr || step.name.empty()) return fmx::kErrInvalidArgument;
    const std::lock_guard<std::mutex> guard(lock_);
    const auto it = std::find_if(steps_.begin(), steps_.end(), [&](const RegisteredScriptStep& known) {
        return known.plugin_id == step.plugin_id && known.step_id == step.step_id;
    });
    if (it != steps_.end()) {
        *it = step;
    } else {
        steps_.push_back(step);
    }
    return fmx::kErrNone;
}

FMX_ErrorCode Host::unregister_script_step(const fmx::QuadChar& pluginId, FMX_Int16 stepId) {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto it = std::find_if(steps_.begin(), steps_.end(), [&](const RegisteredScriptStep& known) {
        return known.plugin_id == pluginId && known.step_id == stepId;
    });
    if (it == steps_.end()) return fmx::kErrNotFound;
    steps_.erase(it);
    return fmx::kErrNone;
}

std::vector<RegisteredFunction> Host::functions() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return functions_;
}

std::vector<RegisteredScriptStep> Host::script_steps() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return steps_;
}

std::optional<RegisteredFunction> Host::find_function(const std::string& name) const {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto it = std::find_if(functions_.begin(), functions_.end(),
                                 [&](const RegisteredFunction& known) { return same_name(known.name, name); });
    if (it == functions_.end()) return std::nullopt;
    return *it;
}

std::optional<RegisteredScriptStep> Host::find_script_step(const std::string& name) const {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto it = std::find_if(steps_.begin(), steps_.end(),
                                 [&](const RegisteredScriptStep& known) { return same_name(known.name, name); });
    if (it == steps_.end()) return std::nullopt;
    return *it;
}

FMX_StartScriptCall Host::start_script_entry() { return &start_script_call; }

FMX_CurrentEnvCall Host::current_env_entry() { return &current_env_call; }

}  // namespace hostsim
