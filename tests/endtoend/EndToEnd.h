// Files, processes and logs for the end-to-end tests: the packaged plug-ins
// run against the real Java runtime, in this process or in the host simulator.
#pragma once

#include <sys/types.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace endtoend {

// A fresh folder under /tmp, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);
size_t count_of(const std::string& text, const std::string& part);

// The permanent log of a desktop host under a home folder.
std::string desktop_log_path(const std::string& home, const std::string& plugin_name,
                             const std::string& application_type = "FMPro");

// The start-up log a permanent log begins with: the file named by its first
// "C++ logging configured at" statement.
std::string startup_log_path_in(const std::string& log);

// Every "Child process created at N" of a log.
std::vector<pid_t> child_pids_in(const std::string& log);

// True once no process has the id any more (not even an unreaped one).
bool process_is_gone(pid_t pid);

// The extracted bridges ("/tmp/actualPlugin…") loaded in this process.
std::set<std::string> loaded_extracted_bridges();

// The extracted bridges named by the wrapper's "Plugin path location: "
// lines in a program's output.
std::set<std::string> extracted_bridges_in(const std::string& output);

// Deletes extracted bridge files; the wrapper never removes them itself.
void remove_files(const std::set<std::string>& paths);

// Files in a folder whose name starts with prefix.
std::vector<std::string> files_starting_with(const std::string& folder, const std::string& prefix);

struct ProgramResult {
    int exit_code = -1;  // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs a program to its end with HOME set to home; arguments[0] is its path.
ProgramResult run_with_home(const std::vector<std::string>& arguments, const std::string& home);

}  // namespace endtoend
