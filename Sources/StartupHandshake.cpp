#include "StartupHandshake.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

#include "SignalHandling.h"
#include "exception/TobrinException.h"
#include "util/LogManager.h"
#include "util/lin/PosixUtils.h"

namespace corvane {

namespace {

using Clock = std::chrono::steady_clock;

// What a stream's reader says; the problems go at error level for standard
// output and at warning level for standard error.
struct StreamTexts {
    const char* thread_name;
    const char* timed_out;
    const char* wait_failed;
    const char* read_failed;
    const char* ended;
    const char* message_line;
};

constexpr StreamTexts stdout_texts{"jvm_startup_stdout",
                                   "Unable to read from stdout on JVM startup after {:d} seconds",
                                   "Unable to read from stdout on JVM startup: {} ({:d})",
                                   "An error occurred while reading from JVM stdout: {}: {}",
                                   "Could not read from stdout",
                                   "JVM stdout launch message: {}"};
constexpr StreamTexts stderr_texts{"jvm_startup_stderr",
                                   "Unable to read from stderr on JVM startup after {:d} seconds",
                                   "Unable to read from stderr on JVM startup: {} ({:d})",
                                   "An error occurred while reading from JVM stderr: {}: {}",
                                   "Could not read from stderr",
                                   "JVM stderr message: {}"};

// Text kept for the log; a child that floods a stream before its token must
// not fill the memory of the host.
constexpr size_t max_logged_startup_bytes = 1 << 20;

const StreamTexts& texts_of(StartupStream stream) {
    return stream == StartupStream::standard_output ? stdout_texts : stderr_texts;
}

template <typename... Args>
void log_problem(StartupStream stream, const char* format, const Args&... args) {
    if (stream == StartupStream::standard_output)
        LogManager::error(format, args...);
    else
        LogManager::warn(format, args...);
}

void log_message_line(StartupStream stream, const std::string& text) {
    if (stream == StartupStream::standard_output)
        LogManager::info(stdout_texts.message_line, text);
    else
        LogManager::error(stderr_texts.message_line, text);
}

std::string strip_blanks(const std::string& text) {
    static const char blanks[] = " \f\n\r\t\v";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// How many bytes may be read at once without passing the end of the token:
// the token cannot end sooner than its length less the longest end of `seen`
// that begins it. The first byte after the token thus stays in the pipe for
// whoever reads the stream next, as a read of one byte at a time would leave it.
size_t bytes_short_of_token(const std::string& seen, const std::string& token) {
    for (size_t matched = std::min(seen.size(), token.size() - 1); matched > 0; --matched)
        if (seen.compare(seen.size() - matched, matched, token, 0, matched) == 0) return token.size() - matched;
    return token.size();
}

long whole_seconds(std::chrono::milliseconds duration) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(duration).count());
}

enum class WaitOutcome { readable, timed_out, cancelled, failed };

// Waits until fd has a byte, its end or an error to report, the deadline (if
// any) passes, or the reading is cancelled.
WaitOutcome wait_for_byte(int fd, int cancel_fd, std::optional<Clock::time_point> deadline, int& error) {
    for (;;) {
        int timeout_ms = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            timeout_ms = static_cast<int>(std::max<int64_t>(left.count(), 0));
        }
        pollfd watched[2] = {{fd, POLLIN, 0}, {cancel_fd, POLLIN, 0}};
        const int ready = poll(watched, 2, timeout_ms);
        if (ready < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return WaitOutcome::failed;
        }
        if (watched[1].revents != 0) return WaitOutcome::cancelled;
        if (ready == 0) return WaitOutcome::timed_out;
        return WaitOutcome::readable;
    }
}

}  // namespace

StartupCancellation::StartupCancellation() : event(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!event.valid()) {
        const int error = errno;
        throw tobrin_exception("Unable to create the start-up cancellation event: " + PosixUtils::str_error(error),
                               error);
    }
}

void StartupCancellation::cancel() {
    const uint64_t one = 1;
    // A full counter (cancelled very often) is as readable as any other.
    [[maybe_unused]] const ssize_t ignored = write(event.get(), &one, sizeof one);
}

bool read_startup_token(StartupStream stream, int fd, std::chrono::milliseconds first_byte_timeout,
                        const StartupCancellation& cancellation) {
    const StreamTexts& texts = texts_of(stream);
    const std::string token = startup_token;
    std::string collected;
    std::string tail;  // the last bytes read, enough to see the token arrive
    bool token_arrived = false;

    std::optional<Clock::time_point> deadline = Clock::now() + first_byte_timeout;
    for (;;) {
        int error = 0;
        const WaitOutcome outcome = wait_for_byte(fd, cancellation.fd(), deadline, error);
        if (outcome == WaitOutcome::cancelled) break;
        if (outcome == WaitOutcome::timed_out) {
            log_problem(stream, texts.timed_out, whole_seconds(first_byte_timeout));
            break;
        }
        if (outcome == WaitOutcome::failed) {
            log_problem(stream, texts.wait_failed, PosixUtils::str_error(error), error);
            break;
        }
        // Only the first byte has a time limit of its own.
        deadline.reset();

        char bytes[32];
        const size_t wanted = std::min(sizeof bytes, bytes_short_of_token(tail, token));
        const ssize_t got = read(fd, bytes, wanted);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int read_error = errno;
            log_problem(stream, texts.read_failed, PosixUtils::str_error(read_error), collected);
            break;
        }
        if (got == 0) {
            log_problem(stream, texts.ended);
            break;
        }
        for (ssize_t index = 0; index < got && !token_arrived; ++index) {
            const char byte = bytes[index];
            LogManager::fine("Pushing back {}", byte);
            if (collected.size() < max_logged_startup_bytes) collected += byte;
            tail += byte;
            if (tail.size() > token.size()) tail.erase(0, tail.size() - token.size());
            token_arrived = tail == token;
        }
        if (token_arrived) break;
    }

    if (!collected.empty()) log_message_line(stream, strip_blanks(collected));
    return token_arrived;
}

StartupReader::StartupReader(StartupStream stream, int fd, std::chrono::milliseconds first_byte_timeout,
                             StartupCancellation& cancellation)
    : cancellation(cancellation) {
    std::promise<bool> promise;
    token_arrived = promise.get_future();
    thread = std::thread([stream, fd, first_byte_timeout, &cancellation, promise = std::move(promise)]() mutable {
        mask_sig();
        // Longer than the 15 characters the platform allows: the thread keeps
        // the name it inherited.
        pthread_setname_np(pthread_self(), texts_of(stream).thread_name);
        bool arrived = false;
        try {
            arrived = read_startup_token(stream, fd, first_byte_timeout, cancellation);
        } catch (...) {
        }
        promise.set_value(arrived);
    });
}

StartupReader::~StartupReader() {
    cancellation.cancel();
    join();
}

void StartupReader::join() {
    if (thread.joinable()) thread.join();
}

bool await_child_startup(int stdout_fd, int stderr_fd, std::chrono::milliseconds startup_timeout,
                         std::chrono::milliseconds first_byte_timeout) {
    StartupCancellation cancellation;
    StartupReader stdout_reader(StartupStream::standard_output, stdout_fd, first_byte_timeout, cancellation);
    StartupReader stderr_reader(StartupStream::standard_error, stderr_fd, first_byte_timeout, cancellation);

    LogManager::warn("Waiting for JVM startup for {:d} seconds", whole_seconds(startup_timeout));
    const bool stdout_answered = stdout_reader.result().wait_for(startup_timeout) == std::future_status::ready;
    // The standard error's result decides nothing; its reader only logs.
    stderr_reader.result().wait_for(startup_timeout);

    bool alive = true;
    if (stdout_answered) {
        alive = stdout_reader.result().get();
    } else {
        LogManager::warn("Unable to read from stdout on JVM startup after {:d} seconds",
                         whole_seconds(startup_timeout));
        alive = false;
    }
    // A reader still waiting (a child that holds a stream open without the
    // token) is released here rather than holding up the launch.
    cancellation.cancel();
    stdout_reader.join();
    stderr_reader.join();
    return alive;
}

}  // namespace corvane
