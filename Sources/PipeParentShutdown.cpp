// Shutdown of the bridge object: the plug-in's functions leave the host, the
// child is asked to end and ended, dead hosts' PID records are cleaned, the
// log relay stops and the pipes close. Nothing here may throw out of the
// destructor or wait without bound.

#include <chrono>
#include <exception>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "BridgeState.h"
#include "PipeParent.h"
#include "exception/TobrinException.h"
#include "util/lin/FileUtils.h"
#include "util/lin/ThreadUtils.h"

namespace corvane {

namespace {

// A statement that cannot be written must not cut the shutdown short.
template <typename... Args>
void info_quietly(fmt::string_view format, const Args&... args) noexcept {
    try {
        LogManager::info(format, args...);
    } catch (...) {
    }
}

template <typename... Args>
void warn_quietly(fmt::string_view format, const Args&... args) noexcept {
    try {
        LogManager::warn(format, args...);
    } catch (...) {
    }
}

template <typename... Args>
void debug_quietly(fmt::string_view format, const Args&... args) noexcept {
    try {
        LogManager::debug(format, args...);
    } catch (...) {
    }
}

template <typename... Args>
void error_quietly(fmt::string_view format, const Args&... args) noexcept {
    try {
        LogManager::error(format, args...);
    } catch (...) {
    }
}

int64_t milliseconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

PipeParent::~PipeParent() {
    const auto started = std::chrono::steady_clock::now();
    try {
        info_quietly("Shutting down {}", plugin_name);
        info_quietly("Unloading plug-in from environment variable");
        clear_fm_type_refs();
        unregister_all_functions();
        if (is_init())
            shut_down_child();
        else if (child_process_id > 0)
            end_child_of_failed_init();
        delete_orphaned_pid_records();
        info_quietly("Terminating logging thread...");
        terminate_logging_thread();
        delete_startup_log();
        const int64_t elapsed = milliseconds_since(started);
        info_quietly("Closing pipes");
        close_pipes();
        info_quietly("Shutdown of {} complete in {:d} ms", plugin_name, elapsed);
    } catch (const tobrin_exception& e) {
        error_quietly("An error occurred during shutdown: {}", e.what());
        kill_child();
    } catch (const std::exception& e) {
        error_quietly("An unexpected error occurred during shutdown: {}", e.what());
        kill_child();
    } catch (...) {
        error_quietly("An unexpected error occurred during shutdown: {}", "an unknown error");
        kill_child();
    }
    release_remaining_resources();
}

void PipeParent::unregister_all_functions() {
    info_quietly("Started unregistering plug-in functions natively");
    const fmx::QuadChar plugin_id(quad_char.c_str());
    std::vector<PluginFunction> functions;
    {
        std::lock_guard<std::mutex> records(plugin_functions_lock);
        for (const auto& entry : plugin_functions) functions.push_back(entry.second);
    }
    for (const PluginFunction& function : functions) {
        if (function.is_script_step()) {
            info_quietly("Unregistering plug-in script step {}", function.get_name());
            fmx::ExprEnv::UnRegisterScriptStep(plugin_id, function.get_id());
        } else {
            fmx::ExprEnv::UnRegisterExternalFunction(plugin_id, function.get_id());
        }
    }
}

void PipeParent::shut_down_child() {
    info_quietly("Starting shutdown of JVM child process");
    const int64_t thread_id = ThreadUtils::get_current_thread_id_as_int();
    const FMX_Boolean unsafe_calls = init_params.unsafe_calls;
    std::future<void> exchange = std::async(std::launch::async, [this, thread_id, unsafe_calls] {
        const auto started = std::chrono::steady_clock::now();
        const fmx::ExprEnvUniquePtr environment;
        const int32_t result = send_cmd(
            CodeToChild::shutdown, quad_char,
            [unsafe_calls](FILE_PTR out) { StreamUtils::putc(static_cast<int8_t>(unsafe_calls), out); }, true,
            thread_id, 0, 0, *environment);
        LogManager::info("Finished shutdown of JVM child process in {:d} ms with result of {:d}",
                         milliseconds_since(started), result);
    });

    try {
        if (exchange.wait_for(shutdown_answer_wait) == std::future_status::ready) {
            try {
                exchange.get();
                warn_quietly("JVM shutdown succeeded");
            } catch (const std::exception& e) {
                // The exchange ended in time, but without the child's answer.
                warn_quietly("JVM shutdown failed: {}", e.what());
            }
            if (debug_mode) {
                info_quietly("Plug-in is in debug mode, so explicitly terminating child process");
                ProcessUtils::exit_process(child_process_id);
                // Reaped: its id may name another process from now on.
                child_process_id = 0;
            }
        } else {
            warn_quietly("JVM shutdown failed due to timeout");
            abandon_unanswered_shutdown();
        }
        ProcessUtils::terminate_process(child_process_id);
        child_process_id = 0;
    } catch (...) {
        // Only the child's end releases an exchange blocked on its output.
        kill_child();
        if (exchange.valid()) exchange.wait();
        throw;
    }
    // The child is gone, so its output has ended and the exchange with it.
    if (exchange.valid()) exchange.wait();
}

void PipeParent::abandon_unanswered_shutdown() {
    // Nothing more may be sent, and any thread asleep in the response loop
    // must learn it. A thread that holds the input lock is reading, and it
    // wakes the others when its read ends with the child.
    mark_channel_broken("the child process did not answer the shutdown message in time");
    {
        std::unique_lock<std::mutex> input(g_input_lock, std::try_to_lock);
        if (input.owns_lock()) g_message_check.notify_all();
    }
    // The child sees the end of its input first. The read side stays open
    // until the exchange has ended: it may be blocked reading it right now.
    close_write_pipe_if_idle();
}

void PipeParent::close_write_pipe_if_idle() {
    // A frame being written holds the output lock, and a frame started later
    // finds the stream gone, so with the lock held the stream is free to
    // close. A writer blocked on a child that does not read keeps it: the
    // stream is then closed with the others once the child is gone.
    std::unique_lock<std::mutex> output(g_output_lock, std::try_to_lock);
    if (output.owns_lock()) close_write_pipe();
}

void PipeParent::end_child_of_failed_init() {
    // The child of an initialisation that did not complete is ended as well:
    // left running it would only notice the end of its pipes.
    info_quietly("Terminating child process {:d} of an incomplete initialisation", child_process_id);
    close_write_pipe_if_idle();
    ProcessUtils::terminate_process(child_process_id);
    child_process_id = 0;
}

void PipeParent::delete_orphaned_pid_records() {
    const std::string folder = orphan_pid_folder;
    debug_quietly("Parent PID folder {}", folder);
    if (!FileUtils::file_exists(folder)) return;
    debug_quietly("Deleting orphaned PIDs from parent folder {}", folder);
    try {
        ProcessUtils::delete_orphaned_pids(folder);
    } catch (const std::invalid_argument&) {
        warn_quietly("Unable to finish deleting orphaned PIDs from {}", folder);
    }
}

void PipeParent::kill_child() noexcept {
    try {
        ProcessUtils::exit_process(child_process_id);
        child_process_id = 0;
    } catch (...) {
        error_quietly("Unable to kill child process {:d}", child_process_id);
    }
}

void PipeParent::release_remaining_resources() noexcept {
    // After a failure part way, the relay and the pipes are still ours; the
    // child has been killed, so the relay's stream has ended.
    try {
        terminate_logging_thread();
    } catch (const std::exception& e) {
        error_quietly("Unable to stop the logging thread: {}", e.what());
    } catch (...) {
        error_quietly("Unable to stop the logging thread: {}", "an unknown error");
    }
    close_pipes();
}

}  // namespace corvane
