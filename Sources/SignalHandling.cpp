// The work of the two signal handlers, callable from ordinary code, and the
// SIGCHLD mask of the bridge's own threads.
#include "SignalHandling.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <sstream>

#include "BridgeState.h"
#include "SignalWork.h"
#include "exception/TobrinException.h"
#include "util/LogManager.h"
#include "util/lin/ThreadUtils.h"

namespace corvane {

namespace signal_work {

std::atomic<PID_T> watched_child{0};

namespace {

constexpr std::chrono::milliseconds reaping_wait{50};

// A handler must carry on when a statement cannot be written: without a
// registered logger the facade throws.
template <typename Statement>
void log_quietly(Statement&& statement) noexcept {
    try {
        statement();
    } catch (...) {
    }
}

// Reaps the child while waitpid reports one; errno is left as it was.
void reap_without_waiting(PID_T child) {
    const int saved_errno = errno;
    // waitpid(0) would reap any child of the host's process group.
    if (child > 0)
        while (waitpid(child, nullptr, WNOHANG) > 0) {
        }
    errno = saved_errno;
}

}  // namespace

bool is_unreaped_child(PID_T pid) noexcept {
    if (pid <= 0) return false;
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0;
}

void abort_with_default_action() noexcept {
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(SIGABRT, &default_action, nullptr);
    std::abort();
}

void run_child_handler(int sig, std::string thread_name, bool bridge_present, PID_T child) noexcept {
    if (thread_name.empty()) thread_name = "anonymous";
    log_quietly([&] {
        LogManager::info("Executing child handler for signal '{}' on thread {}", strsignal(sig), thread_name);
    });
    if (!bridge_present) {
        log_quietly([] { LogManager::warn("Couldn't exit child process cleanly because PipeParent was null"); });
        return;
    }

    bool timed_out = false;
    try {
        std::future<void> reaping = std::async(std::launch::async, reap_without_waiting, child);
        timed_out = reaping.wait_for(reaping_wait) == std::future_status::timeout;
        // The future's destructor waits for the task.
    } catch (const std::system_error&) {
        reap_without_waiting(child);  // no thread to be had: reap here
    }

    if (timed_out && child > 0) {
        log_quietly([&] {
            if (is_unreaped_child(child)) ProcessUtils::exit_process(child);
            LogManager::warn("Terminated child process after waiting 50 ms for clean exit");
        });
    } else {
        log_quietly([] { LogManager::info("Child process exited cleanly"); });
    }
}

void report_crash_and_abort(int sig, const std::string& stack_trace, bool bridge_present, PID_T child) noexcept {
    log_quietly([&] {
        LogManager::error("\n=======================Stack Trace=======================\n{}", stack_trace);
    });
    log_quietly([&] { LogManager::error("Preparing to abort due to signal {:d}", sig); });
    if (bridge_present) {
        log_quietly([&] { LogManager::error("Exiting child process with id {:d}", child); });
        log_quietly([&] {
            if (is_unreaped_child(child)) ProcessUtils::exit_process(child);
        });
    } else {
        // Without a bridge object the id names only a child that is still
        // ours (killed by the installed handler already); otherwise 0.
        const PID_T own_child = is_unreaped_child(child) ? child : 0;
        log_quietly([&] {
            LogManager::error("Unable to create PipeParent. Exiting child process with id {:d}", own_child);
        });
    }
    abort_with_default_action();
}

std::string format_stack_frames(void* const* frames, int count) {
    const void* base = nullptr;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&format_stack_frames), &info) != 0) base = info.dli_fbase;

    std::ostringstream out;
    out << "\n\n" << std::hex << base << "\n";
    std::unique_ptr<char*, decltype(&std::free)> symbols(backtrace_symbols(frames, count), &std::free);
    for (int i = 0; i < count; ++i) {
        if (symbols)
            out << symbols.get()[i] << "\n";
        else
            out << frames[i] << "\n";
    }
    return out.str();
}

}  // namespace signal_work

void child_handler(int sig) {
    signal_work::run_child_handler(sig, ThreadUtils::get_current_thread_name(), pipeParent != nullptr,
                                   signal_work::watched_child.load());
}

void crash_handler(int sig) {
    std::string stack_trace;
    try {
        std::ostringstream trace;
        tobrin_exception::get_stacktrace(trace, tobrin_exception::stacktrace_depth);
        stack_trace = trace.str();
    } catch (...) {
    }
    signal_work::report_crash_and_abort(sig, stack_trace, pipeParent != nullptr, signal_work::watched_child.load());
}

void mask_sig() {
    sigset_t child_signal;
    sigemptyset(&child_signal);
    sigaddset(&child_signal, SIGCHLD);
    pthread_sigmask(SIG_BLOCK, &child_signal, nullptr);
}

void watch_child_process(PID_T child) { signal_work::watched_child.store(child); }

PID_T watched_child_process() { return signal_work::watched_child.load(); }

}  // namespace corvane
