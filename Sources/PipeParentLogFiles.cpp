// Where the bridge's log lives, how its files are named, which level is
// written, and the three stages that bring logging up and down: a start-up
// log in the temporary folder from the moment the object exists, the
// permanent log once the child runs, and the removal of the start-up log at
// shutdown.
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "PipeParent.h"
#include "exception/TobrinException.h"
#include "util/lin/FileUtils.h"
#include "util/lin/PosixUtils.h"
#include "util/stringutils.h"

namespace corvane {

namespace {

constexpr const char* desktop_log_folder = "Velmora";
constexpr const char* retention_marker = "retain_logs";
constexpr const char* logging_properties_file = "logging.properties";
constexpr const char* level_key = "com.corvane.native.logging.level";
constexpr const char* log_extension = ".log";
constexpr mode_t server_log_dir_mode = 0755;
// Blanks allowed around "=" in a properties line.
constexpr const char* properties_blanks = " \t\f";

constexpr size_t fallback_record_buffer_size = 16384;
constexpr size_t max_record_buffer_size = 1 << 20;

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

size_t initial_buffer_size(int sysconf_name) {
    const long suggested = sysconf(sysconf_name);
    return suggested > 0 ? static_cast<size_t>(suggested) : fallback_record_buffer_size;
}

// Re-entrant lookup of a name in the user or group database: the numeric id,
// or nothing when the database has no such entry or cannot be read.
template <typename Record, typename Id, typename Lookup>
std::optional<Id> find_id(const std::string& name, int sysconf_name, Lookup lookup, Id Record::*id_field) {
    std::vector<char> buffer(initial_buffer_size(sysconf_name));
    for (;;) {
        Record entry{};
        Record* found = nullptr;
        const int err = lookup(name.c_str(), &entry, buffer.data(), buffer.size(), &found);
        if (err == ERANGE && buffer.size() < max_record_buffer_size) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (err == EINTR) continue;
        if (err != 0 || found == nullptr) return std::nullopt;
        return found->*id_field;
    }
}

std::optional<uid_t> find_user_id(const std::string& name) {
    return find_id<passwd, uid_t>(name, _SC_GETPW_R_SIZE_MAX, getpwnam_r, &passwd::pw_uid);
}

std::optional<gid_t> find_group_id(const std::string& name) {
    return find_id<group, gid_t>(name, _SC_GETGR_R_SIZE_MAX, getgrnam_r, &group::gr_gid);
}

// A name from the manifest used inside a file name: a "/" would make it a
// path into another folder.
std::string as_file_name_part(const std::string& name) { return stringutils::substitute(name, "/", "_"); }

// The whole name is the base taken literally, optionally "(" digits ")",
// then ".log".
bool is_numbered_log_name(const std::string& name, const std::string& base) {
    if (name.compare(0, base.size(), base) != 0 || name.size() < base.size()) return false;
    std::string rest = name.substr(base.size());
    if (!rest.empty() && rest.front() == '(') {
        const size_t close = rest.find(')');
        if (close == std::string::npos || close == 1) return false;
        for (size_t i = 1; i < close; ++i)
            if (!std::isdigit(static_cast<unsigned char>(rest[i]))) return false;
        rest.erase(0, close + 1);
    }
    return rest == log_extension;
}

// The level a properties line sets, or nothing when the line does not count:
// the key, optional blanks, "=", optional blanks and an upper-case level name,
// with nothing before or after.
std::optional<Logger::Level> level_of_line(const std::string& line) {
    const std::string key = level_key;
    if (line.compare(0, key.size(), key) != 0) return std::nullopt;
    size_t pos = line.find_first_not_of(properties_blanks, key.size());
    if (pos == std::string::npos || line[pos] != '=') return std::nullopt;
    pos = line.find_first_not_of(properties_blanks, pos + 1);
    if (pos == std::string::npos) return std::nullopt;
    const std::string value = line.substr(pos);
    static const char* const names[] = {"OFF",    "SEVERE", "WARNING", "INFO", "CONFIG",
                                        "FINE",   "FINER",  "FINEST",  "ALL"};
    for (const char* name : names)
        if (value == name) return Logger::level_from_string(value);
    return std::nullopt;
}

}  // namespace

std::string& PipeParent::get_log_dir() {
    if (!log_dir.empty()) return log_dir;

    if (init_params.application_type < kFMXT_Server) {
        log_dir = user_home_dir + FileUtils::get_separator() + desktop_log_folder;
        return log_dir;
    }

    const std::string dir = server_log_dir;
    if (!FileUtils::file_exists(dir, true, true, true)) {
        LogManager::debug("Creating log directory and setting permissions.");
        FileUtils::create_directory(dir);

        // Without the server's account the folder keeps the owner it was
        // created with: the bridge can still write its log there.
        const std::optional<uid_t> owner = find_user_id(server_log_user);
        const std::optional<gid_t> owner_group = find_group_id(server_log_group);
        if (!owner) LogManager::warn("No user {} for the plug-in log directory; its owner stays unchanged", server_log_user);
        if (!owner_group)
            LogManager::warn("No group {} for the plug-in log directory; its group stays unchanged", server_log_group);
        if (owner || owner_group) {
            const int ignored = chown(dir.c_str(), owner ? *owner : static_cast<uid_t>(-1),
                                      owner_group ? *owner_group : static_cast<gid_t>(-1));
            (void)ignored;
        }
        const int ignored = chmod(dir.c_str(), server_log_dir_mode);
        (void)ignored;
    }
    LogManager::debug("Plug-in log directory: {}", dir);
    log_dir = dir;
    return log_dir;
}

std::string PipeParent::get_next_log_file_path(std::string log_file_dir, std::string log_file_name_less_ext) {
    size_t count = 0;
    {
        const DirHandle dir(opendir(log_file_dir.c_str()));
        if (!dir) {
            const int err = errno;
            throw tobrin_exception(fmt::format("An error occurred trying to open directory {}: {}", log_file_dir,
                                               PosixUtils::str_error(err)),
                                   err);
        }
        while (const dirent* entry = readdir(dir.get()))
            if (is_numbered_log_name(entry->d_name, log_file_name_less_ext)) ++count;
    }
    const std::string name = count == 0 ? log_file_name_less_ext + log_extension
                                        : fmt::format("{}({:d}){}", log_file_name_less_ext, count, log_extension);
    return FileUtils::create_path(log_file_dir, name);
}

bool PipeParent::should_retain_logs() { return FileUtils::file_exists(FileUtils::create_path(marker_dir, retention_marker)); }

std::string PipeParent::get_logging_properties_path() {
    return FileUtils::create_path(marker_dir, logging_properties_file);
}

Logger::Level PipeParent::get_native_logging_level(const std::string& properties_path) {
    if (!FileUtils::file_exists(properties_path, true)) return Logger::INFO;
    std::ifstream properties(properties_path, std::ios::in | std::ios::binary);
    std::string line;
    while (std::getline(properties, line))
        if (const std::optional<Logger::Level> level = level_of_line(line)) return *level;
    return Logger::INFO;
}

void PipeParent::configure_cpp_logging(const std::string& logger_id, std::shared_ptr<Logger> logger) {
    LogManager::set_default_logger_name(LoggerName(logger_id));
    LogManager::configure_logger(logger_id, logger, native_log_format);
    LogManager::info("C++ logging configured at {}", logger->get_log_file_path());
}

void PipeParent::configure_java_logging(const std::string& logger_id, std::shared_ptr<Logger> logger) {
    LogManager::configure_logger(logger_id, logger, nullptr);
    LogManager::info("Java logging configured at {}", logger->get_log_file_path());
}

void PipeParent::open_startup_log(const std::string& manifest_plugin_name, const std::string& plugin_quad_char) {
    initial_log_file_path = FileUtils::get_temporary_file_path(
        fmt::format("{}_", as_file_name_part(manifest_plugin_name)), log_extension, startup_log_dir.c_str());
    g_plugin_attributes["initial_log_file_path"] = initial_log_file_path;

    const Logger::Level level = get_native_logging_level(get_logging_properties_path());
    const auto logger = std::make_shared<Logger>(initial_log_file_path, level);
    try {
        configure_cpp_logging(fmt::format("temp_{}", plugin_quad_char), logger);
    } catch (const tobrin_exception& e) {
        // No logger to report through: leave the reason where someone
        // looking for the start-up log will find it.
        std::ofstream out(initial_log_file_path, std::ios::out | std::ios::trunc | std::ios::binary);
        out << e.what() << '\n' << e.stacktrace() << '\n';
        out.flush();
        throw;
    }
}

void PipeParent::open_permanent_log() {
    const std::string log_file_name_less_ext =
        fmt::format("{}_{}", as_file_name_part(stringutils::substitute(plugin_name, " ", "_")),
                    get_application_type_string());
    const std::string dir = get_log_dir();
    std::string candidate = FileUtils::create_path(dir, log_file_name_less_ext + log_extension);

    if (!FileUtils::file_exists(dir)) FileUtils::create_directory(dir);
    if (should_retain_logs())
        candidate = get_next_log_file_path(dir, log_file_name_less_ext);
    else
        FileUtils::delete_file(dir, log_file_name_less_ext + log_extension);
    if (!FileUtils::file_exists(candidate)) FileUtils::create_file(candidate, "");
    log_file_path = candidate;

    // The permanent log begins with everything logged since the object was
    // created.
    FileUtils::append_file(candidate, initial_log_file_path);

    // Nothing may be logged until the permanent logger is the default.
    LogManager::clear_logger(fmt::format("temp_{}", quad_char));
    const Logger::Level level = get_native_logging_level(get_logging_properties_path());
    const auto logger = std::make_shared<Logger>(candidate, level);
    configure_cpp_logging(fmt::format("cpp_{}", quad_char), logger);
    configure_java_logging(fmt::format("java_{}", quad_char), logger);

    start_logging_thread();
}

void PipeParent::delete_startup_log() {
    // After a failed initialisation the start-up log stays for diagnosis.
    if (!is_init() || initial_log_file_path.empty()) return;
    if (!FileUtils::delete_file(initial_log_file_path, ""))
        LogManager::warn("Unable to delete temp log at {}", initial_log_file_path);
}

}  // namespace corvane
