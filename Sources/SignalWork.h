#pragma once

// What the signal handlers do, shared by the direct calls (SignalHandling.cpp)
// and the signal thread (SignalInstallation.cpp). Internal to the bridge.

#include <atomic>
#include <string>

#include "util/lin/ProcessUtils.h"

namespace corvane {
namespace signal_work {

// The Java child that the handlers end; 0 for none.
extern std::atomic<PID_T> watched_child;

// True when pid names a child of this process that has not been reaped: only
// then can it be signalled without hitting a process that reuses the id.
// Async-signal-safe.
bool is_unreaped_child(PID_T pid) noexcept;

// Sets SIGABRT back to its default action and aborts. Async-signal-safe.
[[noreturn]] void abort_with_default_action() noexcept;

// The work of child_handler for a signal received on the named thread, with
// the bridge object present or not.
void run_child_handler(int sig, std::string thread_name, bool bridge_present, PID_T child) noexcept;

// The work of crash_handler once the stack trace is text: the statements,
// the end of the child, the abort.
[[noreturn]] void report_crash_and_abort(int sig, const std::string& stack_trace, bool bridge_present,
                                         PID_T child) noexcept;

// Frames captured with backtrace() as text, laid out as
// tobrin_exception::get_stacktrace writes the current stack.
std::string format_stack_frames(void* const* frames, int count);

}  // namespace signal_work
}  // namespace corvane
