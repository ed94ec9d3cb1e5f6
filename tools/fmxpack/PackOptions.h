#pragma once

#include <string>
#include <vector>

namespace fmxpack {

struct PackOptions {
    std::string jar;
    std::string output;
    std::string wrapper;
    std::string bridge;
    bool show_help = false;
};

// Reads the arguments after the program name. The wrapper and the bridge
// default to those of the build that made this tool; throws usage_error.
PackOptions parse_options(const std::vector<std::string>& arguments);

std::string usage();

}  // namespace fmxpack
