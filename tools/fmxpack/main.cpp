// fmxpack: builds a plug-in file from the wrapper, the bridge and a JAR.
#include <fmt/format.h>

#include <exception>
#include <string>
#include <vector>

#include "PackError.h"
#include "PackOptions.h"
#include "Packer.h"

int main(int argc, char** argv) {
    try {
        const fmxpack::PackOptions options =
            fmxpack::parse_options(std::vector<std::string>(argv + 1, argv + argc));
        if (options.show_help) {
            fmt::print("{}", fmxpack::usage());
            return 0;
        }
        fmxpack::pack(options);
        return 0;
    } catch (const fmxpack::usage_error& error) {
        fmt::print(stderr, "fmxpack: {}\n{}", error.what(), fmxpack::usage());
        return 2;
    } catch (const std::exception& error) {
        fmt::print(stderr, "fmxpack: {}\n", error.what());
        return 1;
    }
}
