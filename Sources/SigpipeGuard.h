#pragma once

#include <signal.h>

namespace corvane {

// Keeps SIGPIPE from ending the host process while this thread writes to the
// child: a child that has gone away turns a write into an error (EPIPE) that
// the writer reports, instead of a signal whose default action kills the
// process that loaded us. A SIGPIPE raised inside the scope is discarded; one
// that was already pending is left alone. Writers report a failed write with
// note_broken_pipe().
class SigpipeGuard {
public:
    SigpipeGuard();
    ~SigpipeGuard();
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

    // A write in the scope failed with EPIPE, which is when the kernel raises
    // SIGPIPE; without such a failure no signal of ours can be pending, and
    // the scope ends without looking.
    void note_broken_pipe() { broken_pipe = true; }

private:
    sigset_t previous_mask;
    bool was_pending = false;
    bool broken_pipe = false;
};

}  // namespace corvane
