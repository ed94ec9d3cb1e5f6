// Files, folders and child processes for the wrapper's tests.
#pragma once

#include <string>
#include <vector>

namespace wrappertest {

// A fresh folder under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);

// The split marker as a string.
std::string marker();

// Bytes that contain no marker digit, to pad a container.
std::string filler(size_t size);

struct ProgramResult {
    int exit_code = -1;
    std::string output;  // standard output and standard error together
};

// Runs a program to its end; arguments[0] is its path.
ProgramResult run_program(const std::vector<std::string>& arguments);

}  // namespace wrappertest
