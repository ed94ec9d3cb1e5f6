#pragma once

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "util/lin/UniqueFd.h"

namespace corvane {

// The child's start-up token: plain on its standard error, length-prefixed on
// its standard output.
constexpr const char* startup_token = "IMALIVE";

enum class StartupStream { standard_output, standard_error };

// Releases start-up readers that still wait: once cancelled, every reader
// that uses it returns promptly.
class StartupCancellation {
public:
    StartupCancellation();
    void cancel();
    int fd() const { return event.get(); }

private:
    UniqueFd event;
};

// Reads the stream a few bytes per read call but never past the token's last
// byte, so that nothing after the token is taken from the protocol, until the
// token has arrived (true), or the first byte does not come within
// first_byte_timeout, the stream fails or ends, or the reading is cancelled
// (false). Logs what happened and what it read.
bool read_startup_token(StartupStream stream, int fd, std::chrono::milliseconds first_byte_timeout,
                        const StartupCancellation& cancellation);

// read_startup_token on a thread of its own with a one-shot result. The
// destructor cancels the reading and joins the thread.
class StartupReader {
public:
    StartupReader(StartupStream stream, int fd, std::chrono::milliseconds first_byte_timeout,
                  StartupCancellation& cancellation);
    ~StartupReader();
    StartupReader(const StartupReader&) = delete;
    StartupReader& operator=(const StartupReader&) = delete;

    std::future<bool>& result() { return token_arrived; }
    void join();

private:
    StartupCancellation& cancellation;
    std::future<bool> token_arrived;
    std::thread thread;
};

// Reads the token on both streams and waits up to startup_timeout for the
// standard output's result and then up to startup_timeout for the standard
// error's, which is only logged. True when the token came on standard output
// in time. Both readers are released and joined before it returns.
bool await_child_startup(int stdout_fd, int stderr_fd, std::chrono::milliseconds startup_timeout,
                         std::chrono::milliseconds first_byte_timeout);

}  // namespace corvane
