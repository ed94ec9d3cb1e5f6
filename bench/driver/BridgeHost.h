#pragma once

// A plug-in file loaded and initialised the way the host simulator does it,
// with direct access to the functions it registered: the benchmarks call a
// function's entry as the host's calculation engine would, without parsing
// an expression each time.

#include <chrono>
#include <memory>
#include <string>

#include "LoadedPlugin.h"
#include "hostsdk/fmx.h"

namespace bench {

class RegisteredFunction {
public:
    RegisteredFunction(fmx::ExtPluginType entry, FMX_Int16 id) : entry(entry), id(id) {}
    FMX_ErrorCode operator()(const fmx::ExprEnv& environment, const fmx::DataVect& parameters,
                             fmx::Data& result) const {
        return entry(id, environment, parameters, result);
    }

private:
    fmx::ExtPluginType entry;
    FMX_Int16 id;
};

class BridgeHost {
public:
    // Loads the file and asks for its strings; throws when it cannot be loaded.
    explicit BridgeHost(const std::string& plugin_path);
    // Sends the shutdown call, then unloads the file; withdraws what the
    // plug-in left registered, so nothing can call unloaded code.
    ~BridgeHost();
    BridgeHost(const BridgeHost&) = delete;
    BridgeHost& operator=(const BridgeHost&) = delete;

    // The initialisation call, timed until it returns; throws
    // std::runtime_error when the plug-in is not enabled.
    std::chrono::nanoseconds initialise();
    // A function the plug-in registered; throws std::runtime_error when there is none.
    RegisteredFunction function(const std::string& name) const;

private:
    std::unique_ptr<fmhost::LoadedPlugin> plugin;
};

}  // namespace bench
