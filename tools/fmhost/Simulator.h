// The simulated host: sets up the host state from the options, loads the
// plug-in as the host does and runs the simulator's commands against it.
#pragma once

#include "LoadedPlugin.h"
#include "Options.h"

#include <cstddef>
#include <optional>
#include <string>

namespace fmhost {

// Ordered by severity; the process exits with the worst one seen.
enum class Outcome { Succeeded = 0, Failed = 1, Fatal = 2 };

class Simulator {
public:
    explicit Simulator(Options options);

    // Attaches the files, declares the scripts, loads and initialises the
    // plug-in. Fatal (reason on standard error) when that is not possible.
    Outcome start();
    // One command; Fatal for a usage error or a failed load.
    Outcome execute(const std::string& command);
    // Sends the shutdown call when the plug-in is still loaded.
    Outcome finish();

private:
    Outcome load();
    Outcome unload();
    void withdraw_leftover_registrations();
    void print_triggered_scripts();
    const LoadedPlugin* loaded_plugin();

    Outcome eval(const std::string& expression);
    Outcome step(const std::string& arguments);
    Outcome idle(const std::string& arguments);
    Outcome session_end(const std::string& arguments);
    Outcome file_end(const std::string& arguments);
    Outcome functions();
    Outcome strings();
    Outcome bench(const std::string& arguments);

    Options options_;
    std::optional<LoadedPlugin> plugin_;
    std::size_t printed_scripts_ = 0;
};

}  // namespace fmhost
