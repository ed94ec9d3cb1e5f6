// Initialisation of the bridge: the child is started, logging moves to its
// permanent file, and the child's answer to the init message decides whether
// the host enables the plug-in.
#include <fmt/format.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <system_error>

#include "BridgeCallBlock.h"
#include "BridgeObject.h"
#include "BridgeState.h"
#include "FMUtils.h"
#include "PipeParent.h"
#include "exception/TobrinException.h"
#include "headless/WindowUtils.h"
#include "util/StreamUtils.h"
#include "util/lin/FileUtils.h"
#include "util/lin/ProcessUtils.h"
#include "util/lin/ThreadUtils.h"

namespace corvane {

namespace {

constexpr size_t quad_char_length = 4;
constexpr const char* alert_title = "Plug-in Initialization Error";

std::string attribute_or_empty(const std::map<std::string, std::string>& attributes, const std::string& name) {
    const auto found = attributes.find(name);
    return found != attributes.end() ? found->second : std::string();
}

// The home the user's session names, as the shell and desktop know it; the
// password database's entry when the session names none.
std::string user_home_directory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    return FileUtils::get_user_home_directory();
}

void set_call_result(FMX_IntPtr result) {
    if (FMX_ExternCallPtr pb = current_call_block()) pb->result = result;
}

int64_t milliseconds_since(std::chrono::system_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now() - start).count();
}

}  // namespace

void PipeParent::init_plugin(FMInitParams init_params, bool create_logger) {
    if (init_params.api_version > 55) {
        const fmx::ExprEnvUniquePtr environment;
        if (environment->SessionID() != 0) LogManager::debug("Session ID at init: {:d}", environment->SessionID());
        if (environment->FileID() != 0) LogManager::debug("File ID at init: {:d}", environment->FileID());
    }

    // Ends a failed initialisation: the host keeps the plug-in disabled, and
    // the object, with whatever child it started, goes. Nothing of `this` may
    // be touched after it.
    const auto abandon = [this] {
        set_call_result(kDoNotEnable);
        if (pipeParent.get() == this) destroy_bridge_object();
    };

    try {
        const std::string plugin_options = attribute_or_empty(g_plugin_attributes, "plugin-options");
        if (plugin_options.empty()) throw tobrin_exception("Unable to read plug-in info from manifest");

        LogManager::info("Current user: {}", ProcessUtils::get_username());
        const std::string home_directory = user_home_directory();
        LogManager::info("User home directory: {}", home_directory);
        LogManager::info("User resource directory: {}", FileUtils::get_user_resource_directory());
        LogManager::info("User shared directory: {}", FileUtils::get_shared_resource_directory());

        const bool show_progress = !is_server(init_params.application_type);
        const std::string java = FileUtils::create_path("/usr", "bin", "java");
        const std::string name = attribute_or_empty(g_plugin_attributes, "plugin-name");
        LogManager::info("Plugin name: {}", name);
        const std::string quad = plugin_options.substr(0, quad_char_length);
        LogManager::info("QuadChar: {}", quad);
        const std::string version_string = init_params.get_version_string();
        LogManager::info("Version string {}", version_string);
        LogManager::debug("Version string length: {:d}", version_string.size());
        LogManager::info("API version: {:d}", init_params.api_version);

        launch_plugin_process(name, quad, attribute_or_empty(g_plugin_attributes, "plugin_jar_path"),
                              attribute_or_empty(g_plugin_attributes, "resource_dir_path"), home_directory, java,
                              show_progress, init_params);
        if (!is_alive()) throw tobrin_exception("Unable to launch plug-in child process JVM");

        if (create_logger) open_permanent_log();

        LogManager::info("About to send init command");
        const int32_t result = send_init_command(version_string);
        LogManager::info("Finished sending init command");
        if (result < 0) throw tobrin_exception("Unable to initialize plug-in child process", result);

        LogManager::info("{} initialized in {:d} ms", name, milliseconds_since(init_start_time));
        set_call_result(kCurrentExtnVersion);
        set_init(true);
    } catch (const std::system_error& error) {
        LogManager::error("A system error occurred during init: {} ({})", error.what(), error.code().message());
        abandon();
    } catch (const tobrin_exception& error) {
        if (error.code() == 0)
            LogManager::error("An exception occurred during init: {}", error.what());
        else
            LogManager::error("An exception occurred during init: {} ({})", error.what(), error.code());
        std::string alert_text = error.what();
        if (error.code() >= 1) alert_text += fmt::format(" ({:d})", error.code());
        abandon();
        if (init_params.application_type < kFMXT_Server) WindowUtils::show_alert_dialog(alert_text, alert_title);
    } catch (const std::exception& error) {
        LogManager::error("Unexpected exception: {}", error.what());
        throw;
    }
}

int32_t PipeParent::send_init_command(const std::string& version_string) {
    // The launch stored the host's parameters into the object.
    const FMInitParams params = init_params;
    const std::u16string version_text = utf8_to_utf16_string(version_string);
    const std::u16string resource_path = utf8_to_utf16_string(resource_dir_path);
    const std::u16string log_path = utf8_to_utf16_string(log_file_path);
    const int32_t child_pid = child_process_id;
    const PipeMessageSource body = [params, version_text, resource_path, log_path, child_pid](FILE_PTR out) {
        LogManager::debug("Writing api version");
        StreamUtils::write_int16_bytes(params.api_version, out);
        LogManager::debug("Writing version string");
        StreamUtils::write_unicode_bytes(version_text, out);
        LogManager::debug("Writing instance ID {:d}", params.instance_id);
        StreamUtils::write_int64_bytes(static_cast<int64_t>(params.instance_id), out);
        LogManager::debug("Writing unsafe calls");
        StreamUtils::putc(static_cast<int8_t>(params.unsafe_calls), out);
        StreamUtils::flush_file_ptr(out);
        LogManager::debug("Writing resource dir path");
        StreamUtils::write_unicode_bytes(resource_path, out);
        LogManager::debug("Writing log file path");
        StreamUtils::write_unicode_bytes(log_path, out);
        LogManager::debug("Writing application type");
        StreamUtils::write_int16_bytes(static_cast<int16_t>(params.application_type), out);
        LogManager::debug("Writing PID");
        StreamUtils::write_int32_bytes(child_pid, out);
    };
    const fmx::ExprEnvUniquePtr environment;
    return send_cmd(CodeToChild::init, quad_char, body, true, ThreadUtils::get_current_thread_id_as_int(), 0, 0,
                    *environment);
}

}  // namespace corvane
