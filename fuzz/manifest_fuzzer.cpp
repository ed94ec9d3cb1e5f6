// The manifest parser takes any text: it must never fail, and what it returns
// must be attributes the text can hold (a name never holds a ":" or a line
// break, a value never a line feed).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "QuietLog.h"
#include "util/lin/PluginUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvane::fuzzing::install_quiet_log();
    std::istringstream manifest(std::string(reinterpret_cast<const char*>(data), size));
    for (const auto& [name, value] : corvane::PluginUtils::parse_manifest(manifest)) {
        if (name.find_first_of(":\n") != std::string::npos || value.find('\n') != std::string::npos) {
            std::fprintf(stderr, "impossible attribute \"%s\" = \"%s\"\n", name.c_str(), value.c_str());
            std::abort();
        }
    }
    return 0;
}
