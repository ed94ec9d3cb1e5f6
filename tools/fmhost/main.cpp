// fmhost: a host simulator that loads a plug-in file as the host does and
// drives it with commands. Exit status: 0 when every command succeeded, 1
// when one failed, 2 on a usage error or when the plug-in could not be loaded
// or initialised.
#include "Options.h"
#include "Simulator.h"

#include <fmt/format.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

namespace {

int run(const std::vector<std::string>& arguments) {
    fmhost::Options options;
    try {
        options = fmhost::parse_options(arguments);
    } catch (const fmhost::UsageError& error) {
        fmt::print(stderr, "fmhost: {}\n{}", error.what(), fmhost::kUsage);
        return 2;
    }
    if (options.help) {
        fmt::print("{}", fmhost::kUsage);
        return 0;
    }
    const bool from_standard_input = options.commands.empty();
    const std::vector<std::string> commands = options.commands;
    fmhost::Simulator simulator(std::move(options));
    fmhost::Outcome worst = simulator.start();
    if (worst == fmhost::Outcome::Fatal) return 2;

    const auto run_one = [&](const std::string& command) {
        worst = std::max(worst, simulator.execute(command));
    };
    if (from_standard_input) {
        for (std::string line; std::getline(std::cin, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const auto first = line.find_first_not_of(" \t");
            if (first == std::string::npos || line[first] == '#') continue;  // blank lines and comments
            run_one(line.substr(first));
        }
    } else {
        std::for_each(commands.begin(), commands.end(), run_one);
    }
    worst = std::max(worst, simulator.finish());
    return static_cast<int>(worst);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        fmt::print(stderr, "fmhost: {}\n", error.what());
        return 2;
    }
}
