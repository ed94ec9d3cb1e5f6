#include "RunProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace fmhost_test {
namespace {

// A temporary file that is removed when it goes.
class TempFile {
public:
    explicit TempFile(const std::string& content) {
        const int fd = mkstemp(path_.data());
        if (fd < 0) throw std::runtime_error("cannot create a temporary file");
        close(fd);
        std::ofstream(path_, std::ios::binary) << content;
    }
    ~TempFile() { unlink(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }
    std::string content() const {
        std::ostringstream text;
        text << std::ifstream(path_, std::ios::binary).rdbuf();
        return text.str();
    }

private:
    std::string path_ = "/tmp/fmhost-test-XXXXXX";
};

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    void open(int fd, const std::string& path, int flags) {
        posix_spawn_file_actions_addopen(&actions_, fd, path.c_str(), flags, 0600);
    }
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& input,
                          const std::vector<std::string>& extra_environment) {
    TempFile in(input), out(""), err("");
    SpawnActions actions;
    actions.open(0, in.path(), O_RDONLY);
    actions.open(1, out.path(), O_WRONLY | O_TRUNC);
    actions.open(2, err.path(), O_WRONLY | O_TRUNC);

    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (char** var = environ; *var; ++var) env.push_back(*var);
    for (const std::string& var : extra_environment) env.push_back(const_cast<char*>(var.c_str()));
    env.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], actions.get(), nullptr, args.data(), env.data()) != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) throw std::runtime_error("cannot wait for " + argv[0]);
    ProcessResult result;
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = out.content();
    result.err = err.content();
    return result;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

}  // namespace fmhost_test
