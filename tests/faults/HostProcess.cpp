#include "HostProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace fault_test {

using Clock = std::chrono::steady_clock;

HostProcess::HostProcess(const std::vector<std::string>& argv) {
    int in_pipe[2];
    int out_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (pipe2(out_pipe, O_CLOEXEC) != 0) {
        close(in_pipe[0]);
        close(in_pipe[1]);
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in_pipe[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int error = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in_pipe[0]);
    close(out_pipe[1]);
    to_child_ = in_pipe[1];
    from_child_ = out_pipe[0];
    if (error != 0) {
        close(to_child_);
        close(from_child_);
        throw std::runtime_error("cannot start " + argv[0]);
    }
}

HostProcess::~HostProcess() {
    if (to_child_ >= 0) close(to_child_);
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    if (from_child_ >= 0) close(from_child_);
}

void HostProcess::send_line(const std::string& line) {
    const std::string text = line + "\n";
    if (write(to_child_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot write to the host process");
}

std::optional<std::string> HostProcess::read_line(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd readable{from_child_, POLLIN, 0};
        const int ready = poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char buffer[4096];
        const ssize_t got = read(from_child_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        pending_.append(buffer, static_cast<size_t>(got));
    }
}

void HostProcess::kill_with(int signal_number) { ::kill(pid_, signal_number); }

void HostProcess::send_blank_line_if_alive() {
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    [[maybe_unused]] const ssize_t written = write(to_child_, "\n", 1);
    std::signal(SIGPIPE, previous);
}

int HostProcess::wait() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool process_gone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string content;
    if (!std::getline(stat, content)) return true;
    // The state follows the parenthesised command name.
    const auto name_end = content.rfind(')');
    return name_end == std::string::npos || content.size() < name_end + 3 || content[name_end + 2] == 'Z' ||
           content[name_end + 2] == 'X';
}

bool wait_until_gone(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    auto pause = std::chrono::milliseconds(1);
    while (!process_gone(pid)) {
        if (Clock::now() >= deadline) return false;
        // Nothing to wait on for a process that is not ours: poll, backing off.
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    return true;
}

}  // namespace fault_test
