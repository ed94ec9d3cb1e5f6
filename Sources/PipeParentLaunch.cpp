// Starting the Java child: its command line, the SIGCHLD handler, the spawn,
// the streams over its pipes, the start-up handshake and the PID record.
#include <cstdio>
#include <exception>
#include <memory>
#include <utility>

#include "JvmCommandLine.h"
#include "PipeParent.h"
#include "SignalHandling.h"
#include "StartupHandshake.h"
#include "exception/TobrinException.h"
#include "util/LogManager.h"
#include "util/lin/PosixUtils.h"
#include "util/lin/UniqueFd.h"

namespace corvane {

namespace {

using StreamPtr = std::unique_ptr<FILE, int (*)(FILE*)>;

// A buffered stream that owns fd; null (with fd closed) when none can be had.
StreamPtr open_stream(UniqueFd fd, const char* mode) {
    FILE* stream = PosixUtils::fd_open(fd.get(), mode);
    if (stream == nullptr) {
        LogManager::error("Unable to open a stream over descriptor {:d}: {}", fd.get(), PosixUtils::str_error(errno));
        return StreamPtr(nullptr, &std::fclose);
    }
    fd.release();
    return StreamPtr(stream, &std::fclose);
}

}  // namespace

void PipeParent::launch_plugin_process(std::string plugin_name, std::string quad_char, std::string plugin_jar_path,
                                       std::string resource_dir_path, std::string user_home_dir,
                                       std::string java_bin_path, bool headless, FMInitParams init_params) {
    this->plugin_name = std::move(plugin_name);
    this->quad_char = std::move(quad_char);
    this->plugin_jar_path = std::move(plugin_jar_path);
    this->resource_dir_path = std::move(resource_dir_path);
    this->user_home_dir = std::move(user_home_dir);
    this->java_bin_path = std::move(java_bin_path);
    this->headless = headless;
    this->init_params = init_params;
    alive = false;

    const JvmCommandLine command_line = build_jvm_command_line(
        this->java_bin_path, this->plugin_jar_path, this->init_params.application_type, {marker_dir, marker_dir});
    debug_mode = command_line.debug_mode;

    if (const int error = install_child_handler(); error != 0)
        LogManager::warn("An error occurred registering child signal handler: {}", PosixUtils::str_error(error));
    else
        LogManager::info("Child signal handler registered successfully");

    // Children of hosts that died since are ended before this one starts.
    delete_orphaned_pid_records();

    int read_fd = -1;
    int write_fd = -1;
    int err_fd = -1;
    try {
        child_process_id = ProcessUtils::create_process(read_fd, write_fd, err_fd, command_line.arguments);
    } catch (const tobrin_exception& error) {
        LogManager::error("Unable to start the child process: {}", error.what());
        return;
    }
    watch_child_process(child_process_id);

    // The streams of an earlier launch go first; then the three new ones are
    // opened, read, write and error, each owned once (reference count 1).
    close_pipes();
    StreamPtr read_fp = open_stream(UniqueFd(read_fd), "r");
    StreamPtr write_fp = open_stream(UniqueFd(write_fd), "w");
    StreamPtr err_fp = open_stream(UniqueFd(err_fd), "r");
    if (!read_fp || !write_fp || !err_fp) return;
    attach_child_streams(read_fp.release(), write_fp.release());
    parent_err_fd = err_fd;
    parent_err_fp = err_fp.release();
    parent_err_fp_ref_ct = 1;
    LogManager::info("Child process created at {:d}", child_process_id);

    try {
        alive = await_child_startup(parent_read_fd, parent_err_fd, startup_timeout, startup_first_byte_timeout);
    } catch (const std::exception& error) {
        LogManager::error("Unable to wait for JVM startup: {}", error.what());
    }
    if (!alive) {
        close_pipes();
        return;
    }
    pid_file_path = ProcessUtils::create_pid_file(orphan_pid_folder, this->quad_char, child_process_id);
}

}  // namespace corvane
