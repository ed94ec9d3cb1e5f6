#include "EndToEnd.h"

#include <dirent.h>
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace endtoend {

namespace {

constexpr const char* extracted_bridge_prefix = "/tmp/actualPlugin";

bool starts_with(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    void open(int fd, const std::string& path, int flags) {
        posix_spawn_file_actions_addopen(&actions, fd, path.c_str(), flags, 0600);
    }
    const posix_spawn_file_actions_t* get() const { return &actions; }

private:
    posix_spawn_file_actions_t actions;
};

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

ScratchDir::ScratchDir() {
    std::string pattern = "/tmp/endtoend_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a scratch folder");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

bool file_exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

size_t count_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

std::string desktop_log_path(const std::string& home, const std::string& plugin_name,
                             const std::string& application_type) {
    std::string base = plugin_name;
    for (char& c : base)
        if (c == ' ') c = '_';
    return home + "/Velmora/" + base + "_" + application_type + ".log";
}

std::string startup_log_path_in(const std::string& log) {
    const std::string statement = "C++ logging configured at ";
    const auto at = log.find(statement);
    if (at == std::string::npos) return {};
    const auto start = at + statement.size();
    return log.substr(start, log.find('\n', start) - start);
}

std::vector<pid_t> child_pids_in(const std::string& log) {
    const std::string statement = "Child process created at ";
    std::vector<pid_t> pids;
    for (auto at = log.find(statement); at != std::string::npos; at = log.find(statement, at + 1))
        pids.push_back(static_cast<pid_t>(std::atol(log.c_str() + at + statement.size())));
    return pids;
}

bool process_is_gone(pid_t pid) { return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH; }

std::set<std::string> loaded_extracted_bridges() {
    std::set<std::string> found;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            const std::string name = info->dlpi_name != nullptr ? info->dlpi_name : "";
            if (starts_with(name, extracted_bridge_prefix)) static_cast<std::set<std::string>*>(data)->insert(name);
            return 0;
        },
        &found);
    return found;
}

std::set<std::string> extracted_bridges_in(const std::string& output) {
    const std::string statement = "Plugin path location: ";
    std::set<std::string> found;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!starts_with(line, statement)) continue;
        const std::string path = line.substr(statement.size());
        if (starts_with(path, extracted_bridge_prefix)) found.insert(path);
    }
    return found;
}

void remove_files(const std::set<std::string>& paths) {
    for (const auto& path : paths) std::remove(path.c_str());
}

std::vector<std::string> files_starting_with(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> found;
    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return found;
    while (const dirent* entry = readdir(dir.get()))
        if (starts_with(entry->d_name, prefix)) found.push_back(folder + "/" + entry->d_name);
    return found;
}

ProgramResult run_with_home(const std::vector<std::string>& arguments, const std::string& home) {
    const ScratchDir outputs;
    SpawnActions actions;
    actions.open(0, "/dev/null", O_RDONLY);
    actions.open(1, outputs.file("out"), O_WRONLY | O_CREAT | O_TRUNC);
    actions.open(2, outputs.file("err"), O_WRONLY | O_CREAT | O_TRUNC);

    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string home_variable = "HOME=" + home;
    std::vector<char*> envp;
    for (char** variable = environ; *variable != nullptr; ++variable)
        if (!starts_with(*variable, "HOME=")) envp.push_back(*variable);
    envp.push_back(const_cast<char*>(home_variable.c_str()));
    envp.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], actions.get(), nullptr, argv.data(), envp.data()) != 0)
        throw std::runtime_error("cannot start " + arguments[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) throw std::runtime_error("cannot wait for " + arguments[0]);

    ProgramResult result;
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = read_file(outputs.file("out"));
    result.err = read_file(outputs.file("err"));
    return result;
}

}  // namespace endtoend
