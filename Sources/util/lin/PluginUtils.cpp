#include "util/lin/PluginUtils.h"

#include <dlfcn.h>

#include <unordered_set>

#include "exception/TobrinException.h"
#include "util/lin/ProcessUtils.h"
#include "util/stringutils.h"

namespace corvane {

const std::string PluginUtils::loaded_plugins_variable = "CORVANE_LOADED_PLUGINS";

void PluginUtils::load_plugin(std::string plugin_code) {
    const std::string registered = ProcessUtils::get_environment_variable(loaded_plugins_variable);
    if (registered.empty()) {
        ProcessUtils::set_environment_variable(loaded_plugins_variable, plugin_code);
        return;
    }
    const std::vector<std::string> pieces = stringutils::split(registered, ':');
    std::unordered_set<std::string> codes(pieces.begin(), pieces.end());
    codes.insert(std::move(plugin_code));
    ProcessUtils::set_environment_variable(loaded_plugins_variable, stringutils::join(codes, ":"));
}

void PluginUtils::unload_plugin(std::string plugin_code) {
    const std::string registered = ProcessUtils::get_environment_variable(loaded_plugins_variable);
    const std::string without_separated = stringutils::substitute(registered, ":" + plugin_code, "");
    ProcessUtils::set_environment_variable(loaded_plugins_variable,
                                           stringutils::substitute(without_separated, plugin_code, ""));
}

std::vector<std::string> PluginUtils::get_plugins() {
    return stringutils::split(ProcessUtils::get_environment_variable(loaded_plugins_variable), ':');
}

bool PluginUtils::has_plugin(std::string plugin_code) {
    for (const auto& code : get_plugins())
        if (code == plugin_code) return true;
    return false;
}

void PluginUtils::set_plugin_resource_paths(uint64_t address, std::string& resource_path, std::string& jar_path) {
    dlerror();  // forget any earlier error so that only this lookup's text is reported
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), &info) == 0 ||
        info.dli_fname == nullptr) {
        std::string message = "An error occurred retrieving a path to the plug-in";
        if (const char* linker_error = dlerror()) message += std::string(": ") + linker_error;
        throw tobrin_exception(message);
    }
    resource_path = info.dli_fname;
    jar_path = info.dli_fname;
}

}  // namespace corvane
