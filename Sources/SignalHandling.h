#pragma once

#include <chrono>
#include <cstdint>

#include "util/lin/ProcessUtils.h"

namespace corvane {

// The bridge shares the host's signals. Installed handlers do only what is
// safe inside a signal handler (the crash handler also kills the child at
// once); the logging, reaping and waiting run on the bridge's signal thread,
// which blocks the asynchronous signals itself.

// Reaps the Java child after a SIGCHLD; kills it when the reaping does not
// finish within 50 ms. Runs on the signal thread when the installed handler
// fires; ordinary code may call it directly. Never fails.
void child_handler(int sig);

// Logs a stack trace of the calling thread, ends the Java child and aborts
// the process with SIGABRT. For ordinary code; the installed handler does the
// same through the signal thread.
[[noreturn]] void crash_handler(int sig);

// Blocks SIGCHLD for the calling thread only, so the signal reaches a host
// thread and blocking reads of the bridge's own threads are not interrupted.
void mask_sig();

// Installs crash handling for SIGABRT, SIGFPE, SIGSEGV, SIGILL, SIGINT and
// SIGTERM. Nothing happens while it is installed already.
void install_crash_handler();
// Puts back exactly the dispositions from before install_crash_handler, for
// each signal whose handler is still ours; a previous handler whose code has
// been unloaded since becomes the default action. Stops the signal thread once
// no handler of the bridge is installed. Call before the bridge is unloaded.
void restore_crash_handlers();

// Arms the SIGCHLD handling for the next child exit (it disarms itself after
// one call). Returns 0, or the error number of the failed sigaction.
int install_child_handler();
// Puts back the SIGCHLD disposition from before the first install_child_handler,
// unless someone else installed a handler since. Call before the bridge is
// unloaded.
void restore_child_handler();

// The process both handlers end: the Java child, 0 for none. The launch sets
// it once the child is spawned. The handlers only signal it while it is an
// unreaped child of this process, so a reused id is never hit.
void watch_child_process(PID_T child);
PID_T watched_child_process();

// How many signals the signal thread has finished handling, and a wait for
// that count, so a caller can wait for the handling of a signal it caused.
uint64_t handled_signal_count();
bool wait_for_handled_signals(uint64_t count, std::chrono::milliseconds timeout);

}  // namespace corvane
