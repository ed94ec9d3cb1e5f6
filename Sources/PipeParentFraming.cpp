#include <fcntl.h>
#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "BridgeState.h"
#include "FMUtils.h"
#include "FrameWriter.h"
#include "PipeParent.h"
#include "SigpipeGuard.h"
#include "exception/TobrinException.h"
#include "util/lin/ThreadUtils.h"

namespace corvane {

namespace {

// Lets reads of a stream return at once instead of waiting for the child, for
// as long as it lives.
class NonBlockingReads {
public:
    explicit NonBlockingReads(FILE_PTR stream) : stream(stream), fd(fileno(stream)), flags(fcntl(fd, F_GETFL)) {
        if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
    ~NonBlockingReads() {
        if (flags >= 0) fcntl(fd, F_SETFL, flags);
        // A read that found nothing waiting is no error of the stream.
        std::clearerr(stream);
    }
    NonBlockingReads(const NonBlockingReads&) = delete;
    NonBlockingReads& operator=(const NonBlockingReads&) = delete;

private:
    FILE_PTR stream;
    int fd;
    int flags;
};

}  // namespace

void PipeParent::send_msg(CodeToChild code_to_child, const std::string& quad_char,
                          const PipeMessageSource& pipe_message_source, int64_t thread_id_for_msg, uint64_t file_id,
                          uint64_t session_id, const fmx::ExprEnv& environment) const {
    throw_if_serving_callback();
    if (code_to_child == CodeToChild::shutdown) LogManager::debug("send_msg: shutdown");
    throw_if_channel_broken();

    const int64_t thread_id =
        thread_id_for_msg > 0 ? thread_id_for_msg : ThreadUtils::get_current_thread_id_as_int();
    const bool has_environment_ids = init_params.api_version > 55;
    if (has_environment_ids) {
        if (session_id == 0) session_id = environment.SessionID();
        if (file_id == 0) file_id = environment.FileID();
    }
    // Idle traffic is periodic; only its lock statements reach the log.
    const bool quiet = code_to_child == CodeToChild::do_idle;
    if (!quiet) LogManager::debug("Writing thread ID: {:d}", thread_id);

    LogManager::debug("Acquiring output lock for thread: {:d}...", thread_id_for_msg);
    std::lock_guard<std::mutex> output(g_output_lock);
    LogManager::debug("Output lock acquired for thread: {:d}", thread_id_for_msg);
    throw_if_channel_broken();
    if (parent_write_fp == nullptr) throw tobrin_exception("No channel to the plug-in child process is open");

    SigpipeGuard no_sigpipe;
    FrameWriter frame(parent_write_fp);
    try {
        FILE_PTR out = frame.stream();
        StreamUtils::write_int64_bytes(thread_id, out);
        if (!quiet && has_environment_ids) {
            LogManager::debug("Writing session ID: {:d}", session_id);
            LogManager::debug("Writing file ID: {:d}", file_id);
        }
        StreamUtils::write_int64_bytes(static_cast<int64_t>(session_id), out);
        StreamUtils::write_int64_bytes(static_cast<int64_t>(file_id), out);
        if (!quiet) LogManager::debug("Writing CodeToChild: {:d}", static_cast<int32_t>(code_to_child));
        StreamUtils::write_int16_bytes(static_cast<int16_t>(code_to_child), out);
        if (!quad_char.empty()) {
            if (!quiet) LogManager::debug("Writing QuadChar: {}", quad_char);
            StreamUtils::write_unicode_bytes(utf8_to_utf16_string(quad_char), out);
        }
        if (!quiet) LogManager::debug("Writing custom message");
        if (pipe_message_source) pipe_message_source(out);
        if (!quiet) LogManager::debug("Writing separator");
        StreamUtils::putc(-1, out);
        StreamUtils::flush_file_ptr(out);
        frame.finish();
    } catch (const std::exception& e) {
        if (frame.write_error() == EPIPE) no_sigpipe.note_broken_pipe();
        // A frame that failed before any of it left is simply not sent; once
        // part of it is out, the child can no longer find where the next one starts.
        if (frame.has_handed_over()) {
            mark_channel_broken(fmt::format("a message to the child process was cut short: {}", e.what()));
            throw tobrin_exception(channel_broken_message());
        }
        throw;
    }
    LogManager::debug("Unlocking output lock for thread: {:d}", thread_id_for_msg);
}

void PipeParent::throw_if_serving_callback() {
    if (is_serving_callback_on_current_thread())
        throw tobrin_exception(
            "A plug-in function cannot be called while the same thread serves a callback of the plug-in");
}

void PipeParent::consume_separator() const {
    if (parent_read_fp == nullptr) throw tobrin_exception("No channel from the plug-in child process is open");
    const int32_t first = StreamUtils::get_c_as_int(parent_read_fp);
    if (first == -1) return;

    std::string collected = "Messages from pipe:\n";
    try {
        // Only for the log: what the child has already sent, bounded, and
        // ended by the stream's end as well.
        const NonBlockingReads no_waiting(parent_read_fp);
        for (size_t count = 0; count < max_separator_diagnostic_bytes; ++count) {
            const int32_t next = StreamUtils::get_c_as_int(parent_read_fp);
            if (next == 0 || next == -1) break;
            collected.push_back(static_cast<char>(next));
        }
    } catch (const tobrin_exception&) {
        // End of stream, or nothing more sent yet, ends the diagnostics; the
        // mismatch is reported below.
    }
    const std::string message = fmt::format(
        "Expected a -1 separator byte, but received {:d}. This probably indicates that the parent did not consume "
        "the entire message.",
        first);
    LogManager::info("{}", message);
    LogManager::info("{}", collected);
    throw tobrin_exception(message);
}

}  // namespace corvane
