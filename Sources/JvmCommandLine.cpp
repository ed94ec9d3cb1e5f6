#include "JvmCommandLine.h"

#include <fstream>
#include <optional>

#include <fmt/format.h>

#include "PipeParent.h"
#include "util/LogManager.h"
#include "util/lin/FileUtils.h"

namespace corvane {

namespace {

constexpr int32_t default_heap_megabytes = 256;
constexpr const char* heap_dump_folder = "/tmp";
constexpr const char* suspended_debug_agent =
    "-agentlib:jdwp=transport=dt_socket,server=y,suspend=y,address=4414";
constexpr const char* running_debug_agent = "-agentlib:jdwp=transport=dt_socket,server=y,suspend=n,address=4414";
constexpr const char* child_main_class = "com.corvane.ambrix.PipeChild";

std::string marker_path(const std::string& folder, const char* name) { return FileUtils::create_path(folder, name); }

bool marker_exists(const std::string& folder, const char* name) {
    return FileUtils::file_exists(marker_path(folder, name));
}

bool marker_readable(const std::string& folder, const char* name) {
    return FileUtils::file_exists(marker_path(folder, name), true);
}

// The integer a memory-size file begins with (white space before it is
// allowed); nothing when it holds none or cannot be opened.
std::optional<int32_t> read_heap_megabytes(const std::string& folder) {
    if (!marker_readable(folder, "memorysize")) return std::nullopt;
    const std::string path = marker_path(folder, "memorysize");
    std::ifstream file(path);
    if (!file) return std::nullopt;
    int32_t megabytes = 0;
    if (file >> megabytes) return megabytes;
    LogManager::warn("Ignoring memory size file {}: it does not begin with a whole number of megabytes", path);
    return std::nullopt;
}

int32_t heap_megabytes(const MarkerFolders& markers) {
    if (const auto user_value = read_heap_megabytes(markers.user_level)) {
        LogManager::info("Setting memory size to user value of {:d}", *user_value);
        return *user_value;
    }
    if (const auto system_value = read_heap_megabytes(markers.shared_level)) {
        LogManager::info("Setting memory size to system value of {:d}", *system_value);
        return *system_value;
    }
    LogManager::info("Setting memory size to default value of {:d}", default_heap_megabytes);
    return default_heap_megabytes;
}

}  // namespace

JvmCommandLine build_jvm_command_line(const std::string& java_bin_path, const std::string& plugin_jar_path,
                                      FMX_Application application_type, const MarkerFolders& markers) {
    JvmCommandLine command_line;
    std::vector<std::string>& arguments = command_line.arguments;
    arguments = {java_bin_path, "-Xdiag", "-cp", plugin_jar_path};

    if (marker_readable(markers.user_level, "heap_dump") || marker_readable(markers.shared_level, "heap_dump")) {
        LogManager::info("Heap dumps enabled");
        arguments.emplace_back("-XX:+HeapDumpOnOutOfMemoryError");
        arguments.push_back(fmt::format("-XX:HeapDumpPath={}", heap_dump_folder));
    }

    arguments.emplace_back("-Djava.net.preferIPv4Stack=true");
    arguments.emplace_back("-Dfile.encoding=UTF-8");
    arguments.emplace_back("-noverify");

    if (marker_exists(markers.user_level, "suspend_debug") || marker_exists(markers.shared_level, "suspend_debug")) {
        command_line.debug_mode = true;
        arguments.emplace_back(suspended_debug_agent);
    } else if (marker_exists(markers.user_level, "debug") || marker_exists(markers.shared_level, "debug")) {
        command_line.debug_mode = true;
        arguments.emplace_back(running_debug_agent);
    }

    const int32_t heap = heap_megabytes(markers);

    if (marker_readable(markers.user_level, "logging.properties")) {
        const std::string path = marker_path(markers.user_level, "logging.properties");
        LogManager::info("Reading local logging properties from {}", path);
        arguments.push_back(fmt::format("-Djava.util.logging.config.file={}", path));
    } else if (marker_readable(markers.shared_level, "logging.properties")) {
        const std::string path = marker_path(markers.shared_level, "logging.properties");
        LogManager::info("Reading shared logging properties from {}", path);
        arguments.push_back(fmt::format("-Djava.util.logging.config.file={}", path));
    }

    arguments.push_back(fmt::format("-Xmx{:d}m", heap));
    if (PipeParent::is_server(application_type)) arguments.emplace_back("-Djava.awt.headless=true");
    arguments.emplace_back(child_main_class);

    for (size_t i = 0; i < arguments.size(); ++i) LogManager::info("JVM arg {:d}: {}", i + 1, arguments[i]);
    return command_line;
}

}  // namespace corvane
