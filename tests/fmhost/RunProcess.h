// Runs a program as a child process with a given standard input and collects
// its standard output, standard error and exit status.
#pragma once

#include <string>
#include <vector>

namespace fmhost_test {

struct ProcessResult {
    int exit_code = -1;  // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& input = {},
                          const std::vector<std::string>& extra_environment = {});

// The lines of a program's output, without line ends.
std::vector<std::string> lines_of(const std::string& text);

}  // namespace fmhost_test
