// The host simulator as a live process that a test talks to line by line and
// can kill, and a check that a process is gone.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace fault_test {

class HostProcess {
public:
    // Starts argv[0] with its standard input and output on pipes; standard
    // error goes to the test's own.
    explicit HostProcess(const std::vector<std::string>& argv);
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    pid_t pid() const { return pid_; }
    void send_line(const std::string& line);
    // The next line of output, or nothing when none came before the time-out
    // or the output ended.
    std::optional<std::string> read_line(std::chrono::milliseconds timeout);
    void kill_with(int signal_number);
    // A blank line, which the simulator skips, if the process still reads its
    // input; a process that has already died is no error.
    void send_blank_line_if_alive();
    // The exit status, or -1 for a process ended by a signal.
    int wait();

private:
    pid_t pid_ = -1;
    int to_child_ = -1;
    int from_child_ = -1;
    std::string pending_;
    bool reaped_ = false;
};

// True when the process no longer runs (gone, or a zombie nobody reaped yet).
bool process_gone(pid_t pid);
// Waits until process_gone or the time-out; returns the final answer.
bool wait_until_gone(pid_t pid, std::chrono::milliseconds timeout);

}  // namespace fault_test
