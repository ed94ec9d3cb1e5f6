#include "util/lin/ProcessUtils.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <utility>

#include "exception/TobrinException.h"
#include "util/LogManager.h"
#include "util/lin/PosixUtils.h"
#include "util/lin/UniqueFd.h"
#include "util/lin/UserDatabase.h"

namespace corvane {

namespace {

const std::vector<std::string> child_environment{"LD_DEBUG=libs", "Quennet=Vastle"};

constexpr std::chrono::milliseconds first_reap_poll{1};
constexpr std::chrono::milliseconds longest_reap_poll{25};

struct Pipe {
    UniqueFd read_end;
    UniqueFd write_end;
};

// Moves a descriptor above the standard streams. A host that closed its own
// standard streams hands out 0, 1 and 2 to new pipes; a child end there would
// be duplicated onto itself, which older C libraries do without clearing
// close-on-exec, so the child would lose that stream. Returns 0 or the error
// number.
int lift_above_standard_streams(UniqueFd& fd) {
    if (fd.get() > STDERR_FILENO) return 0;
    const int lifted = fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (lifted < 0) return errno;
    fd = UniqueFd(lifted);
    return 0;
}

// Both ends are close-on-exec from the start, so no child spawned by any
// thread of the host inherits them; the child's own standard streams are
// dup2 copies, which do not carry the flag. Returns 0 or the error number.
int make_pipe(Pipe& pipe) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return errno;
    pipe.read_end.reset(ends[0]);
    pipe.write_end.reset(ends[1]);
    if (const int error = lift_above_standard_streams(pipe.read_end)) return error;
    return lift_above_standard_streams(pipe.write_end);
}

// All three pipes, or none: on failure everything made here is closed again
// before the error is raised.
void make_pipes(Pipe& read_pipe, Pipe& write_pipe, Pipe& err_pipe) {
    int error = make_pipe(read_pipe);
    if (error == 0) error = make_pipe(write_pipe);
    if (error == 0) error = make_pipe(err_pipe);
    if (error == 0) return;
    for (Pipe* pipe : {&read_pipe, &write_pipe, &err_pipe}) {
        pipe->read_end.reset();
        pipe->write_end.reset();
    }
    throw tobrin_exception("Unable to create pipe for child process: " + PosixUtils::str_error(error), error);
}

class SpawnFileActions {
public:
    SpawnFileActions() : error(posix_spawn_file_actions_init(&actions)) {}
    ~SpawnFileActions() {
        if (error == 0) posix_spawn_file_actions_destroy(&actions);
    }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    const int error;
    posix_spawn_file_actions_t actions{};
};

class SpawnAttributes {
public:
    SpawnAttributes() : error(posix_spawnattr_init(&attributes)) {}
    ~SpawnAttributes() {
        if (error == 0) posix_spawnattr_destroy(&attributes);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    const int error;
    posix_spawnattr_t attributes{};
};

// Logs a failed preparation step; true when the step succeeded.
bool prepared(int error, const char* message) {
    if (error == 0) return true;
    LogManager::info(message, PosixUtils::str_error(error));
    return false;
}

std::string short_name_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Null-terminated array of pointers into strings that outlive it.
std::vector<char*> c_string_array(std::vector<std::string>& strings) {
    std::vector<char*> array;
    array.reserve(strings.size() + 1);
    for (std::string& text : strings) array.push_back(text.data());
    array.push_back(nullptr);
    return array;
}

std::string current_directory() {
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::current_path(error);
    return error ? error.message() : directory.string();
}

// Spawns path with the given standard streams; returns the child's id, or
// the error number of the failure as a negative value.
int spawn(const std::string& path, std::vector<std::string> arguments, int stdin_fd, int stdout_fd,
          int stderr_fd) {
    SpawnAttributes attributes;
    SpawnFileActions file_actions;
    // Every step is attempted so that each failure is logged, but a child is
    // never started with standard streams that are not the pipes.
    bool ready = prepared(attributes.error, "posix_spawnattr_init. {}");
    ready &= prepared(file_actions.error, "posix_spawn_file_actions_init. {}");
    if (file_actions.error == 0) {
        ready &= prepared(posix_spawn_file_actions_adddup2(&file_actions.actions, stdin_fd, STDIN_FILENO),
                          "posix_spawn_file_actions_adddup2 STDIN. {}");
        ready &= prepared(posix_spawn_file_actions_adddup2(&file_actions.actions, stdout_fd, STDOUT_FILENO),
                          "posix_spawn_file_actions_adddup2 STDOUT. {}");
        ready &= prepared(posix_spawn_file_actions_adddup2(&file_actions.actions, stderr_fd, STDERR_FILENO),
                          "posix_spawn_file_actions_adddup2 STDERR. {}");
    }
    if (attributes.error == 0)
        ready &= prepared(posix_spawnattr_setflags(&attributes.attributes, POSIX_SPAWN_RESETIDS),
                          "posix_spawn_set_flags. {}");
    if (!ready) return -EINVAL;

    std::vector<char*> argv = c_string_array(arguments);
    std::vector<std::string> environment = child_environment;
    std::vector<char*> envp = c_string_array(environment);

    pid_t child = 0;
    const int error = posix_spawn(&child, path.c_str(), &file_actions.actions, &attributes.attributes,
                                  argv.data(), envp.data());
    return error == 0 ? child : -error;
}

// The outcome of a waitpid that is retried when a signal interrupts it.
struct WaitResult {
    pid_t pid;
    int status;
    int error;
};

WaitResult wait_for(PID_T process, int options) {
    for (;;) {
        int status = 0;
        const pid_t result = waitpid(process, &status, options);
        if (result >= 0) return {result, status, 0};
        if (errno != EINTR) return {result, status, errno};
    }
}

void log_end_of(int status) {
    if (WIFEXITED(status))
        LogManager::info("Terminated process with exit status {:d}", WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        LogManager::debug("Terminated process with signal '{}'", strsignal(WTERMSIG(status)));
}

// ECHILD is routine: the SIGCHLD handler may have reaped the child first.
void log_failed_wait(PID_T process, int error) {
    if (error == ECHILD)
        LogManager::debug("Unable to wait for process {:d}: {}", process, PosixUtils::str_error(error));
    else
        LogManager::warn("Unable to wait for process {:d}: {}", process, PosixUtils::str_error(error));
}

// A process that cannot be signalled is not waited for: it may never end.
bool send_signal(PID_T process, int signal_number) {
    if (kill(process, signal_number) == 0) return true;
    const int error = errno;
    if (error == ESRCH)
        LogManager::debug("Unable to send signal '{}' to process {:d}: {}", strsignal(signal_number), process,
                          PosixUtils::str_error(error));
    else
        LogManager::warn("Unable to send signal '{}' to process {:d}: {}", strsignal(signal_number), process,
                         PosixUtils::str_error(error));
    return false;
}

void reap(PID_T process) {
    const WaitResult result = wait_for(process, 0);
    if (result.error != 0)
        log_failed_wait(process, result.error);
    else
        log_end_of(result.status);
}

}  // namespace

PID_T ProcessUtils::create_process(int& parent_read_fd, int& parent_write_fd, int& parent_err_fd,
                                   const std::vector<std::string>& command_vector) {
    Pipe read_pipe, write_pipe, err_pipe;
    make_pipes(read_pipe, write_pipe, err_pipe);

    PID_T child = 0;
    if (command_vector.empty()) {
        LogManager::debug("An error occurred while spawning a child process: {}", "no executable given");
    } else {
        const std::string& path = command_vector.front();
        LogManager::debug("Full path to child process executable: {}", path);
        std::vector<std::string> arguments = command_vector;
        arguments.front() = short_name_of(path);
        LogManager::debug("Short name of child process executable: {}", arguments.front());

        const int result = spawn(path, std::move(arguments), write_pipe.read_end.get(), read_pipe.write_end.get(),
                                 err_pipe.write_end.get());
        if (result > 0) {
            child = result;
            LogManager::debug("Child process spawned at PID {:d}", child);
            LogManager::info("Working directory after child process spawned: {}", current_directory());
        } else {
            LogManager::debug("An error occurred while spawning a child process: {}", PosixUtils::str_error(-result));
        }
    }

    // The child holds its own copies now; with none left in the parent, the
    // parent's read ends see end of stream as soon as the child is gone.
    err_pipe.write_end.reset();
    write_pipe.read_end.reset();
    read_pipe.write_end.reset();

    parent_read_fd = read_pipe.read_end.release();
    parent_write_fd = write_pipe.write_end.release();
    parent_err_fd = err_pipe.read_end.release();
    return child;
}

bool ProcessUtils::is_process_alive(PID_T process) {
    // kill() reads ids of zero or less as process groups, never as a process.
    if (process <= 0) return false;
    if (kill(process, 0) == 0) return true;
    const int error = errno;
    LogManager::debug("An error occurred determining if process {:d} is alive. {}", process,
                      PosixUtils::str_error(error));
    return false;
}

void ProcessUtils::exit_process(PID_T process) {
    if (process <= 0) return;
    if (send_signal(process, SIGKILL)) reap(process);
}

void ProcessUtils::terminate_process(PID_T process) { terminate_process(process, termination_grace_period); }

void ProcessUtils::terminate_process(PID_T process, std::chrono::milliseconds grace_period) {
    if (process <= 0) return;
    if (!send_signal(process, SIGTERM)) return;

    const auto deadline = std::chrono::steady_clock::now() + grace_period;
    auto poll_interval = first_reap_poll;
    for (;;) {
        const WaitResult result = wait_for(process, WNOHANG);
        if (result.error != 0) {
            // Reaped elsewhere: the id may already name another process, so
            // it must not be killed.
            log_failed_wait(process, result.error);
            return;
        }
        if (result.pid == process) {
            log_end_of(result.status);
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) break;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(poll_interval, deadline - now));
        poll_interval = std::min(poll_interval * 2, longest_reap_poll);
    }

    LogManager::warn("Process {:d} did not end within {:d} ms of SIGTERM; sending SIGKILL", process,
                     grace_period.count());
    exit_process(process);
}

std::string ProcessUtils::get_username() {
    const UserLookup lookup = find_user_record(geteuid());
    return lookup.record ? lookup.record->login_name : "";
}

void ProcessUtils::set_environment_variable(const std::string& name, const std::string& value) {
    if (setenv(name.c_str(), value.c_str(), 1) != 0) {
        const int error = errno;
        throw tobrin_exception(PosixUtils::str_error(error), error);
    }
}

std::string ProcessUtils::get_environment_variable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

PID_T ProcessUtils::get_current_process_id() { return getpid(); }

std::string ProcessUtils::get_pid_folder() { return "/tmp"; }

}  // namespace corvane
