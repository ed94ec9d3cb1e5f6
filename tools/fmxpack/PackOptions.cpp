#include "PackOptions.h"

#include <fmt/format.h>

#include "PackError.h"

#ifndef FMXPACK_DEFAULT_WRAPPER
#define FMXPACK_DEFAULT_WRAPPER ""
#endif
#ifndef FMXPACK_DEFAULT_BRIDGE
#define FMXPACK_DEFAULT_BRIDGE ""
#endif

namespace fmxpack {

std::string usage() {
    const auto or_required = [](const char* path) { return *path != '\0' ? std::string(path) : "none, required"; };
    return fmt::format(
        "usage: fmxpack --jar PLUGIN.jar -o NAME.fmx [--wrapper PATH] [--bridge PATH]\n"
        "Writes the wrapper plug-in, the split marker, the bridge plug-in and the JAR\n"
        "end to end into NAME.fmx.\n"
        "  --jar PATH      the plug-in's JAR; its manifest must hold \"plugin-options\"\n"
        "  -o, --output    the plug-in file to write (replaced only once it is complete)\n"
        "  --wrapper PATH  the wrapper shared object (default: {})\n"
        "  --bridge PATH   the bridge shared object (default: {})\n",
        or_required(FMXPACK_DEFAULT_WRAPPER), or_required(FMXPACK_DEFAULT_BRIDGE));
}

PackOptions parse_options(const std::vector<std::string>& arguments) {
    PackOptions options;
    options.wrapper = FMXPACK_DEFAULT_WRAPPER;
    options.bridge = FMXPACK_DEFAULT_BRIDGE;

    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-h" || argument == "--help") {
            options.show_help = true;
            return options;
        }
        std::string* target = nullptr;
        if (argument == "--jar")
            target = &options.jar;
        else if (argument == "-o" || argument == "--output")
            target = &options.output;
        else if (argument == "--wrapper")
            target = &options.wrapper;
        else if (argument == "--bridge")
            target = &options.bridge;
        else
            throw usage_error(fmt::format("unknown argument '{}'", argument));

        if (i + 1 == arguments.size() || arguments[i + 1].empty())
            throw usage_error(fmt::format("{} needs a path", argument));
        *target = arguments[++i];
    }

    if (options.jar.empty()) throw usage_error("--jar is required");
    if (options.output.empty()) throw usage_error("-o is required");
    if (options.wrapper.empty()) throw usage_error("--wrapper is required");
    if (options.bridge.empty()) throw usage_error("--bridge is required: this build has no bridge of its own");
    return options;
}

}  // namespace fmxpack
