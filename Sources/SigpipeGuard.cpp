#include "SigpipeGuard.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace corvane {

namespace {

sigset_t sigpipe_set() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return set;
}

bool sigpipe_pending() {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    return sigismember(&pending, SIGPIPE) == 1;
}

}  // namespace

SigpipeGuard::SigpipeGuard() {
    was_pending = sigpipe_pending();
    const sigset_t block = sigpipe_set();
    pthread_sigmask(SIG_BLOCK, &block, &previous_mask);
}

SigpipeGuard::~SigpipeGuard() {
    const int saved_errno = errno;
    if (broken_pipe && !was_pending && sigpipe_pending()) {
        const sigset_t set = sigpipe_set();
        const timespec no_wait{0, 0};
        int taken;
        do {
            taken = sigtimedwait(&set, nullptr, &no_wait);
        } while (taken < 0 && errno == EINTR);
    }
    pthread_sigmask(SIG_SETMASK, &previous_mask, nullptr);
    errno = saved_errno;
}

}  // namespace corvane
