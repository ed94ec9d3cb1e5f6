#pragma once

// Processes for the launch tests: watching any process end without sleeping,
// spawning and reaping plain children, and putting the signal handlers back.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "BridgeState.h"
#include "PipeParent.h"
#include "SignalHandling.h"
#include "util/lin/UniqueFd.h"

extern char** environ;

namespace corvane {
namespace testing {

// Nothing the code under test does should take this long.
constexpr std::chrono::seconds hang_limit{20};

// Watches a process that need not be a child of the test. (The C library's
// pidfd header lacks C linkage here, so the system calls are made directly.)
class ProcessWatch {
public:
    explicit ProcessWatch(pid_t pid)
        : pid(pid), fd(pid > 0 ? static_cast<int>(syscall(SYS_pidfd_open, pid, 0)) : -1) {}

    bool valid() const { return fd.valid(); }
    // True once the process has ended (a zombie has ended).
    bool ended_within(std::chrono::milliseconds timeout) const {
        pollfd watched{fd.get(), POLLIN, 0};
        return fd.valid() && poll(&watched, 1, static_cast<int>(timeout.count())) == 1;
    }
    // Kills the process if it still runs; it cannot hit a process that reuses the id.
    void kill_if_running() const {
        if (fd.valid() && !ended_within(std::chrono::milliseconds(0)))
            syscall(SYS_pidfd_send_signal, fd.get(), SIGKILL, nullptr, 0);
    }

    const pid_t pid;

private:
    UniqueFd fd;
};

// A plain child of the test, killed and reaped at the end unless reaped before.
class SpawnedProcess {
public:
    explicit SpawnedProcess(std::vector<std::string> arguments) {
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid = -1;
    }
    ~SpawnedProcess() {
        if (pid <= 0 || reaped) return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    SpawnedProcess(const SpawnedProcess&) = delete;
    SpawnedProcess& operator=(const SpawnedProcess&) = delete;

    // Waits for the child's status; -1 when someone else reaped it.
    pid_t reap(int& status) {
        const pid_t result = waitpid(pid, &status, 0);
        reaped = true;
        return result;
    }

    pid_t pid = -1;

private:
    bool reaped = false;
};

// The bridge object as the entry point holds it (pipeParent), so the signal
// handlers find it; gone again, with the watched child, at the end.
struct ScopedBridgeObject {
    ScopedBridgeObject() { pipeParent = std::make_unique<PipeParent>(); }
    ~ScopedBridgeObject() {
        pipeParent.reset();
        watch_child_process(0);
    }
    PipeParent& operator*() const { return *pipeParent; }
    PipeParent* operator->() const { return pipeParent.get(); }
};

// Puts back whatever handlers a test installed.
struct RestoreSignalHandlers {
    ~RestoreSignalHandlers() {
        restore_child_handler();
        restore_crash_handlers();
    }
};

}  // namespace testing
}  // namespace corvane
