#pragma once

#include <string>
#include <vector>

#include "hostsdk/CallBlock.h"

namespace corvane {

// Where the marker files are looked for: the user's level first, then the
// level shared by all users. On Linux both are the same folder.
struct MarkerFolders {
    std::string user_level;
    std::string shared_level;
};

struct JvmCommandLine {
    // The runtime's path first, the child's main class last.
    std::vector<std::string> arguments;
    // The debug agent is on: shutdown ends the child explicitly.
    bool debug_mode = false;
};

// The Java child's command line from fixed options and the marker files
// ("heap_dump", "suspend_debug", "debug", "memorysize", "logging.properties");
// server-type hosts run the child headless. Logs the choices and every
// argument. Missing or unreadable markers select the defaults.
JvmCommandLine build_jvm_command_line(const std::string& java_bin_path, const std::string& plugin_jar_path,
                                      FMX_Application application_type, const MarkerFolders& markers);

}  // namespace corvane
