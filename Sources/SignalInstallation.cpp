// The installed signal handlers and the signal thread that does their work.
//
// A handler may interrupt a thread that holds the logger's lock or the
// allocator's, so the installed handlers only use async-signal-safe calls:
// they note the signal, the receiving thread's name and the child in a record
// and write it to a pipe that the signal thread reads. A crash signal kills
// the child before anything else; if the signal thread cannot finish the work
// in time (it may wait on a lock the crashed thread holds), the handler ends
// the process itself.
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "BridgeState.h"
#include "SignalHandling.h"
#include "SignalWork.h"
#include "exception/TobrinException.h"
#include "util/lin/UniqueFd.h"

namespace corvane {

namespace {

using signal_work::watched_child;

constexpr std::array<int, 6> crash_signals{SIGABRT, SIGFPE, SIGSEGV, SIGILL, SIGINT, SIGTERM};
// Signals that a fault raises on the faulting thread; blocking them would
// only turn a fault into the default action.
constexpr std::array<int, 7> synchronous_signals{SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT};
constexpr char signal_thread_name[] = "Velmora_signals";
// How long a crash handler lets the signal thread log and end the child
// before it ends the process without the statements.
constexpr timespec crash_handoff_limit{2, 0};
constexpr size_t thread_name_size = 16;  // the kernel's limit, with the NUL

enum class RecordKind : int32_t { child_exit, crash };

// One handled signal. Small enough to be written to a pipe in one piece.
struct SignalRecord {
    RecordKind kind;
    int32_t signal_number;
    PID_T child;
    bool bridge_present;
    char thread_name[thread_name_size];
    int32_t frame_count;
    void* frames[tobrin_exception::stacktrace_depth];
};
static_assert(sizeof(SignalRecord) <= PIPE_BUF, "a record must reach the pipe in one write");
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<PID_T>::is_always_lock_free,
              "handlers need lock-free atomics");

// --- State the installed handlers read (lock-free atomics only) -------------
std::atomic<int> record_write_fd{-1};
std::atomic<int> handlers_writing{0};
std::atomic<pid_t> signal_thread_id{0};
std::atomic<pid_t> crash_handling_thread{0};
std::atomic<bool> child_handler_fired{false};

// --- Handled-signal count -------------------------------------------------------
std::mutex handled_lock;
std::condition_variable handled_changed;
uint64_t handled_count = 0;

void note_handled() {
    {
        std::lock_guard<std::mutex> lock(handled_lock);
        ++handled_count;
    }
    handled_changed.notify_all();
}

// --- Installed handlers ---------------------------------------------------------

SignalRecord make_record(RecordKind kind, int sig) noexcept {
    SignalRecord record{};
    record.kind = kind;
    record.signal_number = sig;
    record.child = watched_child.load();
    record.bridge_present = pipeParent != nullptr;
    prctl(PR_GET_NAME, record.thread_name, 0, 0, 0);
    record.thread_name[thread_name_size - 1] = '\0';
    return record;
}

// True when the whole record went to the signal thread.
bool send_record(const SignalRecord& record) noexcept {
    handlers_writing.fetch_add(1);
    const int fd = record_write_fd.load();
    ssize_t written = -1;
    if (fd >= 0) {
        do {
            written = write(fd, &record, sizeof record);
        } while (written < 0 && errno == EINTR);
    }
    handlers_writing.fetch_sub(1);
    return written == static_cast<ssize_t>(sizeof record);
}

void write_text(const char* text) noexcept {
    size_t left = strlen(text);
    while (left > 0) {
        const ssize_t n = write(STDERR_FILENO, text, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text += n;
        left -= static_cast<size_t>(n);
    }
}

void write_number(long value) noexcept {
    char digits[24];
    char* end = digits + sizeof digits;
    char* start = end;
    *--start = '\0';
    const bool negative = value < 0;
    unsigned long magnitude = negative ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        *--start = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) *--start = '-';
    write_text(start);
}

void on_child_signal(int sig) {
    const int saved_errno = errno;
    child_handler_fired.store(true);
    send_record(make_record(RecordKind::child_exit, sig));
    errno = saved_errno;
}

void on_crash_signal(int sig) {
    const pid_t self = gettid();
    pid_t handling = 0;
    if (!crash_handling_thread.compare_exchange_strong(handling, self)) {
        // Another thread is ending the process already.
        for (;;) pause();
    }

    const PID_T child = watched_child.load();
    if (signal_work::is_unreaped_child(child)) kill(child, SIGKILL);

    SignalRecord record = make_record(RecordKind::crash, sig);
    record.frame_count = backtrace(record.frames, static_cast<int>(tobrin_exception::stacktrace_depth));
    if (self != signal_thread_id.load() && send_record(record)) {
        // The signal thread logs, reaps the child and aborts the process.
        timespec left = crash_handoff_limit;
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
    }

    write_text("Preparing to abort due to signal ");
    write_number(sig);
    write_text("\nExiting child process with id ");
    write_number(child);
    write_text("\n");
    if (signal_work::is_unreaped_child(child)) waitpid(child, nullptr, 0);
    signal_work::abort_with_default_action();
}

// --- The signal thread ----------------------------------------------------------

bool read_record(int fd, SignalRecord& record) {
    auto* bytes = reinterpret_cast<char*>(&record);
    size_t done = 0;
    while (done < sizeof record) {
        const ssize_t n = read(fd, bytes + done, sizeof record - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void run_signal_thread(int read_fd) {
    signal_thread_id.store(gettid());
    pthread_setname_np(pthread_self(), signal_thread_name);
    SignalRecord record{};
    while (read_record(read_fd, record)) {
        record.thread_name[thread_name_size - 1] = '\0';
        if (record.kind == RecordKind::crash) {
            std::string trace;
            try {
                trace = signal_work::format_stack_frames(record.frames, record.frame_count);
            } catch (...) {
            }
            signal_work::report_crash_and_abort(record.signal_number, trace, record.bridge_present, record.child);
        }
        signal_work::run_child_handler(record.signal_number, record.thread_name, record.bridge_present,
                                       record.child);
        note_handled();
    }
    signal_thread_id.store(0);
}

// The thread and its pipe; changed only under lifecycle_lock.
class SignalThread {
public:
    void start() {
        if (thread.joinable()) return;
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            const int error = errno;
            throw tobrin_exception("Unable to create the signal pipe: " + std::string(strerror(error)), error);
        }
        UniqueFd read_end(ends[0]);
        write_end.reset(ends[1]);
        // A handler never waits for a full pipe: its record is dropped.
        fcntl(write_end.get(), F_SETFL, fcntl(write_end.get(), F_GETFL) | O_NONBLOCK);

        // The thread inherits a mask that keeps every asynchronous signal away
        // from it; the creating thread's own mask is put back at once.
        sigset_t blocked, previous;
        sigfillset(&blocked);
        for (int sig : synchronous_signals) sigdelset(&blocked, sig);
        pthread_sigmask(SIG_SETMASK, &blocked, &previous);
        try {
            thread = std::thread([fd = read_end.get()] { run_signal_thread(fd); });
        } catch (...) {
            pthread_sigmask(SIG_SETMASK, &previous, nullptr);
            write_end.reset();
            throw;
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        this->read_end = std::move(read_end);
        record_write_fd.store(write_end.get());
    }

    // Records already written are handled before the thread ends.
    void stop() {
        if (!thread.joinable()) return;
        record_write_fd.store(-1);
        while (handlers_writing.load() != 0) std::this_thread::yield();
        write_end.reset();
        thread.join();
        read_end.reset();
    }

private:
    std::thread thread;
    UniqueFd read_end;
    UniqueFd write_end;
};

// --- Installation ---------------------------------------------------------------

using HandlerFunction = void (*)(int);

struct SavedDisposition {
    int sig;
    struct sigaction previous;
};

std::mutex lifecycle_lock;
SignalThread signal_thread;
bool crash_handler_installed = false;
std::array<SavedDisposition, crash_signals.size()> crash_saved{};
bool child_handler_installed = false;
SavedDisposition child_saved{SIGCHLD, {}};

void* handler_address(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) ? reinterpret_cast<void*>(action.sa_sigaction)
                                          : reinterpret_cast<void*>(action.sa_handler);
}

// sa_handler and sa_sigaction share their storage; which one is meant does
// not matter for telling whose function (or which default) it is.
bool is_handler(const struct sigaction& action, HandlerFunction handler) {
    return handler_address(action) == reinterpret_cast<void*>(handler);
}

// The disposition to put back: a handler whose code has been unloaded since
// (another plug-in) must not be called, so it becomes the default action.
struct sigaction restorable(const struct sigaction& previous) {
    void* handler = handler_address(previous);
    if (handler == reinterpret_cast<void*>(SIG_DFL) || handler == reinterpret_cast<void*>(SIG_IGN)) return previous;
    Dl_info info{};
    if (dladdr(handler, &info) != 0) return previous;
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    return fallback;
}

// 0, or the error number of the failure.
int start_signal_thread() noexcept {
    try {
        signal_thread.start();
        return 0;
    } catch (const tobrin_exception& error) {
        return error.code();
    } catch (const std::system_error& error) {
        return error.code().value();
    } catch (...) {
        return ENOMEM;
    }
}

void stop_thread_when_unused() {
    if (!crash_handler_installed && !child_handler_installed) signal_thread.stop();
}

// Puts the saved disposition back when the current one is still ours (or,
// for SIGCHLD, was reset to the default by our own one-shot handler).
void restore_disposition(const SavedDisposition& saved, HandlerFunction ours, bool reset_by_ours) {
    struct sigaction current {};
    if (sigaction(saved.sig, nullptr, &current) != 0) return;
    const bool reset_to_default = reset_by_ours && is_handler(current, SIG_DFL);
    if (!is_handler(current, ours) && !reset_to_default) return;
    const struct sigaction previous = restorable(saved.previous);
    sigaction(saved.sig, &previous, nullptr);
}

// Unloading the bridge runs this: no handler may point into unmapped code.
struct RestoreAtUnload {
    ~RestoreAtUnload() {
        restore_crash_handlers();
        restore_child_handler();
    }
} restore_at_unload;

}  // namespace

void install_crash_handler() {
    std::lock_guard<std::mutex> lock(lifecycle_lock);
    if (crash_handler_installed) return;
    // The first backtrace() loads the unwinder; afterwards a handler can call
    // it without allocating.
    void* warm_up[1];
    backtrace(warm_up, 1);
    // Without the thread the handlers still kill the child and abort; only
    // the statements are missing.
    start_signal_thread();

    struct sigaction action {};
    action.sa_handler = on_crash_signal;
    sigfillset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < crash_signals.size(); ++i) {
        crash_saved[i].sig = crash_signals[i];
        sigaction(crash_signals[i], &action, &crash_saved[i].previous);
    }
    crash_handler_installed = true;
}

void restore_crash_handlers() {
    std::lock_guard<std::mutex> lock(lifecycle_lock);
    if (!crash_handler_installed) return;
    for (const SavedDisposition& saved : crash_saved) restore_disposition(saved, on_crash_signal, false);
    crash_handler_installed = false;
    stop_thread_when_unused();
}

int install_child_handler() {
    std::lock_guard<std::mutex> lock(lifecycle_lock);
    // Without the thread nobody would reap the child.
    if (const int error = start_signal_thread()) return error;

    struct sigaction action {};
    action.sa_handler = on_child_signal;
    sigfillset(&action.sa_mask);
    sigdelset(&action.sa_mask, SIGCHLD);
    // SA_RESTART: a host thread's read must not fail because a child ended.
    action.sa_flags = SA_NOCLDSTOP | SA_RESETHAND | SA_RESTART;
    struct sigaction previous {};
    child_handler_fired.store(false);
    if (sigaction(SIGCHLD, &action, &previous) != 0) {
        const int error = errno;
        stop_thread_when_unused();
        return error;
    }
    // Only what the process had before the first launch is worth keeping.
    if (!child_handler_installed) child_saved.previous = previous;
    child_handler_installed = true;
    return 0;
}

void restore_child_handler() {
    std::lock_guard<std::mutex> lock(lifecycle_lock);
    if (!child_handler_installed) return;
    restore_disposition(child_saved, on_child_signal, child_handler_fired.load());
    child_handler_installed = false;
    stop_thread_when_unused();
}

uint64_t handled_signal_count() {
    std::lock_guard<std::mutex> lock(handled_lock);
    return handled_count;
}

bool wait_for_handled_signals(uint64_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(handled_lock);
    return handled_changed.wait_for(lock, timeout, [count] { return handled_count >= count; });
}

}  // namespace corvane
