#include "BridgeHost.h"

#include <fmt/format.h>

#include <cstdio>
#include <stdexcept>

namespace bench {

namespace {

constexpr FMX_Application host_application = kFMXT_Pro;
constexpr FMX_Int16 host_api_version = 62;

void withdraw_leftover_registrations() {
    hostsim::Host& host = hostsim::Host::instance();
    for (const hostsim::RegisteredFunction& function : host.functions()) {
        std::fprintf(stderr, "warning: the plug-in left %s registered at shutdown; withdrawn\n",
                     function.name.c_str());
        host.unregister_function(function.plugin_id, function.function_id);
    }
    for (const hostsim::RegisteredScriptStep& step : host.script_steps()) {
        std::fprintf(stderr, "warning: the plug-in left the step %s registered at shutdown; withdrawn\n",
                     step.name.c_str());
        host.unregister_script_step(step.plugin_id, step.step_id);
    }
}

}  // namespace

BridgeHost::BridgeHost(const std::string& plugin_path) : plugin(std::make_unique<fmhost::LoadedPlugin>(plugin_path)) {
    for (FMX_UInt32 string_id : {kFMXT_NameStr, kFMXT_OptionsStr, kFMXT_AppConfigStr}) plugin->get_string(string_id);
}

BridgeHost::~BridgeHost() {
    try {
        plugin->shutdown();
    } catch (const std::exception& e) {
        // Code of the plug-in may still run: keep it mapped.
        std::fprintf(stderr, "warning: %s\n", e.what());
        plugin->keep_loaded();
    }
    plugin.reset();
    withdraw_leftover_registrations();
}

std::chrono::nanoseconds BridgeHost::initialise() {
    const auto start = std::chrono::steady_clock::now();
    const FMX_IntPtr answer = plugin->initialise(host_application, host_api_version);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (answer != kCurrentExtnVersion)
        throw std::runtime_error(fmt::format("the plug-in was not enabled (initialisation answered {})", answer));
    return elapsed;
}

RegisteredFunction BridgeHost::function(const std::string& name) const {
    const auto found = hostsim::Host::instance().find_function(name);
    if (!found) throw std::runtime_error(fmt::format("the plug-in registered no function {}", name));
    return RegisteredFunction(found->entry, found->function_id);
}

}  // namespace bench
