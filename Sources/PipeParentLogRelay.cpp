// The relay of the child's log statements: one thread reads the child's
// standard error, cuts it into statements at the two-byte terminator and
// writes each one unchanged into the bridge's log through the Java logger.
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iostream>
#include <thread>

#include "BridgeState.h"
#include "PipeParent.h"
#include "SignalHandling.h"
#include "exception/TobrinException.h"
#include "util/lin/PosixUtils.h"
#include "util/stringutils.h"

namespace corvane {

namespace {

constexpr char first_terminator_byte = 0x0B;
constexpr char second_terminator_byte = 0x0C;
constexpr const char* shutdown_text = "Shutting down java logging thread";
constexpr const char* unknown_error_prefix = "An unknown error";
constexpr const char* relay_thread_name = "Velmora_logging";
// After a stop request the relay reads on only what is already waiting, and
// at most this much of it, so a child that keeps writing cannot hold it.
constexpr size_t relay_drain_limit_bytes = 256 * 1024;

tobrin_exception read_error(int err) {
    return tobrin_exception(
        fmt::format("An unknown error occurred while reading byte from log statement: {}", PosixUtils::str_error(err)),
        err);
}

bool is_terminated(const std::string& statement) {
    const size_t size = statement.size();
    return size >= 2 && statement[size - 2] == first_terminator_byte && statement[size - 1] == second_terminator_byte;
}

// Logging from the relay's last words must not end the host process.
template <typename Log>
void log_quietly(Log log) noexcept {
    try {
        log();
    } catch (const std::exception& e) {
        std::cerr << "Unable to log from the log relay: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "Unable to log from the log relay" << std::endl;
    }
}

}  // namespace

void PipeParent::start_logging_thread() {
    if (parent_err_fp_ref_ct != 1) {
        LogManager::warn("The child's standard error is not open; its log statements are not relayed");
        return;
    }
    // A relay left over from an earlier start would otherwise be dropped
    // while it still runs.
    stop_logging_thread();

    relay_stopping = false;
    relay_bytes_after_stop = 0;
    relay_stop_event.reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!relay_stop_event.valid()) {
        const int err = errno;
        LogManager::warn("Unable to create the log relay's stop event, the relay ends with the child: {}",
                         PosixUtils::str_error(err));
    }
    g_logging_thread = std::make_unique<std::thread>([this] { log_std_err(); });
}

void PipeParent::log_std_err() {
    try {
        // The child-exit signal belongs to a host thread; a relay read must
        // never be the one it interrupts.
        mask_sig();
        pthread_setname_np(pthread_self(), relay_thread_name);
        LogManager::info("Started stderr logging");
        for (;;) java_log(get_log_statement(parent_err_fd), quad_char);
    } catch (const std::exception& e) {
        const std::string text = e.what();
        log_quietly([&] {
            if (text == shutdown_text)
                LogManager::info(shutdown_text);
            else if (text.compare(0, std::char_traits<char>::length(unknown_error_prefix), unknown_error_prefix) == 0)
                LogManager::warn("Unknown error while logging, will exit: {}", text);
            else
                LogManager::warn("Unaccounted for exception while reading log statements: {}", text);
        });
    } catch (...) {
        log_quietly([] { LogManager::warn("Unaccounted for exception while reading log statements: {}", "unknown"); });
    }
    log_quietly([] { LogManager::info("Finished stderr logging"); });
}

void PipeParent::wait_for_log_byte(int fd) {
    const int stop_fd = relay_stop_event.get();
    if (stop_fd < 0) return;  // no stop event: the read itself waits

    for (;;) {
        pollfd watched[2] = {{fd, POLLIN, 0}, {stop_fd, POLLIN, 0}};
        // Once asked to stop, only what is already waiting is read.
        const int ready = poll(watched, relay_stopping ? 1 : 2, relay_stopping ? 0 : -1);
        if (ready < 0) {
            const int err = errno;
            if (err == EINTR) continue;
            throw read_error(err);
        }
        if (watched[0].revents != 0) {
            if (relay_stopping && ++relay_bytes_after_stop > relay_drain_limit_bytes)
                throw tobrin_exception(shutdown_text);
            return;  // a byte, the end of the stream or an error for read to report
        }
        if (relay_stopping) throw tobrin_exception(shutdown_text);
        if (watched[1].revents != 0) relay_stopping = true;
    }
}

std::string PipeParent::get_log_statement(int fd) {
    // A child that never writes the terminator is cut into pieces of this
    // size; never between the two terminator bytes.
    const size_t limit = std::max<size_t>(max_log_statement_bytes, 2);
    std::string statement;
    for (;;) {
        wait_for_log_byte(fd);
        char byte = 0;
        ssize_t count = 0;
        do count = ::read(fd, &byte, 1);
        while (count < 0 && errno == EINTR);
        if (count < 0) throw read_error(errno);
        if (count == 0) {
            LogManager::debug("Read zero bytes from log statement");
            throw tobrin_exception(shutdown_text);
        }
        statement.push_back(byte);
        if (is_terminated(statement)) {
            statement.resize(statement.size() - 2);
            break;
        }
        if (statement.size() >= limit && byte != first_terminator_byte) {
            LogManager::warn("A log statement of the child exceeded {:d} bytes and is written in pieces", limit);
            break;
        }
    }

    if (statement.empty() || statement.back() == '\n') return statement;
    return fmt::format(
        "Log statement did not end with expected terminator sequence.  Log statement: \n\n\n================={}\n\n\n"
        "===============",
        statement);
}

void PipeParent::java_log(const std::string& message, const std::string& logger_quad_char) {
    // The targeted call formats its text: doubled braces come out single.
    const std::string escaped =
        stringutils::substitute(stringutils::substitute(message, "{", "{{"), "}", "}}");
    try {
        LogManager::info(escaped, LoggerName(fmt::format("java_{}", logger_quad_char)));
    } catch (const fmt::format_error& e) {
        std::cerr << "An error occurred logging message " << message << ". " << e.what() << std::endl;
    }
}

void PipeParent::stop_logging_thread() {
    if (!g_logging_thread) return;
    if (relay_stop_event.valid()) {
        const uint64_t wake = 1;
        const ssize_t ignored = ::write(relay_stop_event.get(), &wake, sizeof wake);
        (void)ignored;
    }
    if (g_logging_thread->joinable()) g_logging_thread->join();
    g_logging_thread.reset();
    relay_stop_event.reset();
}

void PipeParent::terminate_logging_thread() {
    if (!g_logging_thread) return;
    // The stream is closed only once the relay no longer reads its
    // descriptor: closed under a blocked read, the number could be reused by
    // an unrelated file that the relay would then read.
    stop_logging_thread();
    close_err_pipe();
}

}  // namespace corvane
