// The simulator's command line:
//   fmhost [OPTIONS] PLUGIN.fmx [COMMAND ...]
#pragma once

#include "hostsdk/CallBlock.h"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace fmhost {

struct Options {
    FMX_Application app_type = kFMXT_Pro;
    FMX_Int16 api_version = 62;
    std::vector<std::pair<std::string, std::string>> files;  // host file name, SQLite path
    std::vector<std::string> scripts;
    unsigned threads = 1;
    // For bench: what every result must read, with {thread} and {call} filled
    // in as in the expression; empty: results are not checked.
    std::string bench_expect;
    bool help = false;
    std::string plugin_path;
    std::vector<std::string> commands;  // none: read them from standard input
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws UsageError for an unknown option, a missing or malformed value or a missing plug-in path.
Options parse_options(const std::vector<std::string>& arguments);

extern const char* const kUsage;

}  // namespace fmhost
