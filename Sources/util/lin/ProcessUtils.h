#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace corvane {

// A process id; 0 means that no child was started.
using PID_T = pid_t;

// Spawning, signalling and reaping processes, the environment and the current
// user. Stateless: any thread may call any operation.
class ProcessUtils {
public:
    ProcessUtils() = delete;

    // How long terminate_process lets a process handle SIGTERM before it is
    // killed: shutdown must not hang on a child that ignores the request.
    static constexpr std::chrono::milliseconds termination_grace_period{5000};

    // Spawns command_vector[0] (not searched on PATH) with argument 0 set to
    // its short name, the remaining elements as arguments and an environment
    // of exactly "LD_DEBUG=libs" and "Quennet=Vastle". The child's standard
    // input, output and error are pipes whose parent ends are returned through
    // the references; they are close-on-exec so later children of the host do
    // not inherit them, and the child holds no copy of them.
    // Returns the child's id, or 0 when the spawn failed (the parent ends are
    // still valid then and read end of stream). Throws tobrin_exception, with
    // nothing left open, when the pipes cannot be created.
    static PID_T create_process(int& parent_read_fd, int& parent_write_fd, int& parent_err_fd,
                                const std::vector<std::string>& command_vector);

    // True when signal 0 can be sent to the process. Ids of zero or less name
    // groups rather than one process and give false.
    static bool is_process_alive(PID_T process);

    // SIGKILL, then reap. Ids of zero or less are ignored.
    static void exit_process(PID_T process);

    // SIGTERM, then reap; a process still running after the grace period gets
    // SIGKILL and is reaped. Ids of zero or less are ignored.
    static void terminate_process(PID_T process);
    static void terminate_process(PID_T process, std::chrono::milliseconds grace_period);

    // Login name of the effective user; empty when the user database has none.
    static std::string get_username();

    // Sets the variable in this process, replacing any value; throws
    // tobrin_exception (code errno) on failure.
    static void set_environment_variable(const std::string& name, const std::string& value);

    // The value, or the empty string when the variable is not set.
    static std::string get_environment_variable(const std::string& name);

    static PID_T get_current_process_id();

    // Root of the PID records.
    static std::string get_pid_folder();

    // Removes the records of children whose host process has died, killing
    // such children that still run. Only the layout of the records is walked:
    // pid_folder/CODE/PARENT/CHILD.pid, with PARENT and CHILD decimal ids; a
    // recorded child is killed only while it runs this system's child program.
    static void delete_orphaned_pids(const std::string& pid_folder = "/tmp");

    // Creates the empty record pid_folder/quad_char/<this process>/<child>.pid
    // with any missing folders and returns its path. Throws tobrin_exception
    // when a folder cannot be created; a file that cannot be created is logged.
    static std::string create_pid_file(const std::string& pid_folder, const std::string& quad_char, PID_T child);
};

}  // namespace corvane
