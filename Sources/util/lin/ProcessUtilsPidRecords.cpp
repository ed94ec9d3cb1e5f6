// PID records: root/CODE/PARENT/CHILD.pid, one empty file per started child,
// named by the plug-in's code, the host process and the child. A later bridge
// finds records whose host has died and ends their children.
//
// The root is shared with every other program on the machine (/tmp), so the
// walk looks only at that layout, never follows a symbolic link, and removes
// nothing but records and the emptied folders of dead hosts.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "util/LogManager.h"
#include "util/lin/FileUtils.h"
#include "util/lin/PosixUtils.h"
#include "util/lin/ProcessUtils.h"
#include "util/lin/UniqueFd.h"

namespace corvane {

namespace {

constexpr char record_suffix[] = ".pid";
// A recorded process runs the child program when its command line names this.
constexpr char child_main_class[] = "com.corvane.ambrix.PipeChild";

// A whole name of decimal digits that fits a process id; nothing else.
std::optional<PID_T> read_process_id(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || value > std::numeric_limits<PID_T>::max())
        return std::nullopt;
    return static_cast<PID_T>(value);
}

bool ends_with(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A folder inside parent_fd, never through a symbolic link; invalid when the
// entry is anything else or cannot be opened.
UniqueFd open_folder(int parent_fd, const std::string& name) {
    return UniqueFd(openat(parent_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// The entry's own type (a link is a link); 0 when it cannot be examined.
mode_t entry_type(int parent_fd, const std::string& name) {
    struct stat status {};
    if (fstatat(parent_fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    return status.st_mode & S_IFMT;
}

// The names in the folder, without "." and "..". Entries may vanish before
// they are used: other hosts walk the same folders.
std::vector<std::string> entry_names(int folder_fd) {
    std::vector<std::string> names;
    const int listing_fd = fcntl(folder_fd, F_DUPFD_CLOEXEC, 0);
    if (listing_fd < 0) return names;
    std::unique_ptr<DIR, int (*)(DIR*)> listing(fdopendir(listing_fd), &closedir);
    if (!listing) {
        close(listing_fd);
        return names;
    }
    while (const dirent* entry = readdir(listing.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    return names;
}

// A host whose process exists belongs to another user when it cannot be
// signalled; its records are not ours to judge.
bool host_may_be_alive(PID_T host) {
    if (ProcessUtils::is_process_alive(host)) return true;
    return host > 0 && kill(host, 0) != 0 && errno == EPERM;
}

// Ids are reused: a recorded child is only killed while it still runs the
// child program.
bool runs_child_program(PID_T process) {
    std::ifstream command_line("/proc/" + std::to_string(process) + "/cmdline", std::ios::binary);
    if (!command_line) return false;
    const std::string text((std::istreambuf_iterator<char>(command_line)), std::istreambuf_iterator<char>());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        if (text.compare(start, end - start, child_main_class) == 0) return true;
        start = end + 1;
    }
    return false;
}

void remove_record(int parent_fd, const std::string& folder_path, const std::string& name, const std::string& host) {
    const std::string child_token = name.substr(0, name.rfind('.'));
    const std::optional<PID_T> child = read_process_id(child_token);
    if (!child) {
        LogManager::warn("Unable to convert {} or {} to integer", child_token, host);
        return;
    }
    if (ProcessUtils::is_process_alive(*child)) {
        if (runs_child_program(*child)) {
            LogManager::debug("Killing process at {:d}", *child);
            kill(*child, SIGKILL);
        } else {
            LogManager::debug("Process {:d} no longer runs the child program; only its record is removed", *child);
        }
    }
    if (unlinkat(parent_fd, name.c_str(), 0) != 0 && errno != ENOENT) {
        const int error = errno;
        LogManager::debug("An error occurred deleting file at path {}: {}", FileUtils::create_path(folder_path, name),
                          PosixUtils::str_error(error));
    }
}

// One PARENT entry of a CODE folder: the records of a dead host go, and then
// its folder once it is empty.
void clean_host_folder(int code_fd, const std::string& code_path, const std::string& host) {
    if (entry_type(code_fd, host) != S_IFDIR) return;
    const std::optional<PID_T> host_id = read_process_id(host);
    if (!host_id) {
        LogManager::debug("Unable to convert {} to integer", host);
        return;
    }
    if (host_may_be_alive(*host_id)) return;

    const std::string folder_path = FileUtils::create_path(code_path, host);
    {
        const UniqueFd host_fd = open_folder(code_fd, host);
        if (!host_fd.valid()) return;
        for (const std::string& name : entry_names(host_fd.get())) {
            if (!ends_with(name, record_suffix) || entry_type(host_fd.get(), name) != S_IFREG) continue;
            remove_record(host_fd.get(), folder_path, name, host);
        }
    }
    if (unlinkat(code_fd, host.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
        const int error = errno;
        LogManager::debug("An error occurred while trying to delete directory {}: {}", folder_path,
                          PosixUtils::str_error(error));
    }
}

}  // namespace

std::string ProcessUtils::create_pid_file(const std::string& pid_folder, const std::string& quad_char, PID_T child) {
    const std::string file_name = std::to_string(child) + record_suffix;
    const std::string folder = FileUtils::create_path(pid_folder, quad_char, std::to_string(get_current_process_id()));
    if (!FileUtils::file_exists(folder, false, true)) {
        LogManager::info("PID folder not writable");
        FileUtils::create_directory(folder, true);
    }
    const std::string path = FileUtils::create_path(folder, file_name);
    LogManager::info("Creating PID file at {}", path);
    FileUtils::create_file(folder, file_name);
    return path;
}

void ProcessUtils::delete_orphaned_pids(const std::string& pid_folder) {
    const UniqueFd root(open(pid_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid()) return;
    // Every plug-in's folder is visited: a bridge also ends the orphans of
    // other plug-ins.
    for (const std::string& code : entry_names(root.get())) {
        const UniqueFd code_fd = open_folder(root.get(), code);
        if (!code_fd.valid()) continue;
        const std::string code_path = FileUtils::create_path(pid_folder, code);
        for (const std::string& host : entry_names(code_fd.get())) clean_host_folder(code_fd.get(), code_path, host);
    }
}

}  // namespace corvane
