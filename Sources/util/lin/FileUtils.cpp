// The FileUtils operations that log; the path helpers that the wrapper links
// on their own live in FileUtilsPaths.cpp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

#include "exception/TobrinException.h"
#include "util/LogManager.h"
#include "util/lin/FileUtils.h"
#include "util/lin/PosixUtils.h"
#include "util/lin/UserDatabase.h"

namespace corvane {

namespace {
constexpr mode_t directory_mode = 0775;
constexpr mode_t file_mode = 0644;
constexpr size_t copy_chunk_size = 64 * 1024;

// The non-empty pieces of text between characters of the separator set.
std::vector<std::string> split_at_any(const std::string& text, const std::string& separators) {
    std::vector<std::string> pieces;
    size_t start = text.find_first_not_of(separators);
    while (start != std::string::npos) {
        const size_t end = text.find_first_of(separators, start);
        pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? end : text.find_first_not_of(separators, end);
    }
    return pieces;
}
}  // namespace

bool FileUtils::file_exists(const std::string& path, bool readable, bool writable, bool executable) {
    int mode = F_OK;
    if (readable) mode |= R_OK;
    if (writable) mode |= W_OK;
    if (executable) mode |= X_OK;
    return euidaccess(path.c_str(), mode) == 0;
}

void FileUtils::create_directory(const std::string& path, bool /*include_intermediate*/) {
    // Parents are always created: no caller wants a partial tree.
    mkdirs(path, get_separator().c_str());
}

void FileUtils::mkdirs(const std::string& path, const char* separators) {
    const std::string separator_text = separators ? separators : "";
    std::string prefix;
    for (const std::string& component : split_at_any(path, separator_text)) {
        prefix += separator_text;
        prefix += component;
        if (file_exists(prefix)) continue;
        // Another thread or host process may create the same folder between
        // the test and the mkdir; that is success, not an error.
        if (mkdir(prefix.c_str(), directory_mode) != 0 && errno != EEXIST) {
            const int err = errno;
            throw tobrin_exception(PosixUtils::str_error(err) + ": " + path, err);
        }
    }
}

void FileUtils::create_file(const std::string& folder_path, const std::string& file_name) {
    const std::string path = file_name.empty() ? folder_path : folder_path + get_separator() + file_name;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, file_mode);
    if (fd < 0) {
        const int err = errno;
        LogManager::error("Unable to create file at {}: {}", path, PosixUtils::str_error(err));
        return;
    }
    close(fd);
}

bool FileUtils::delete_file(const std::string& folder_path, const std::string& file_name) {
    const std::string path = create_path(folder_path, file_name);
    if (std::remove(path.c_str()) != 0) {
        const int err = errno;
        LogManager::debug("An error occurred deleting file at path {}: {}", path, PosixUtils::str_error(err));
        return false;
    }
    return true;
}

std::string FileUtils::get_user_resource_directory() { return "/tmp"; }

std::string FileUtils::get_shared_resource_directory() { return "/tmp"; }

std::string FileUtils::get_user_home_directory() { return home_directory_of(getuid()); }

void FileUtils::append_file(const std::string& head_path, const std::string& tail_path) {
    std::ofstream head(head_path, std::ios::out | std::ios::app | std::ios::binary);
    if (!head.is_open()) throw tobrin_exception("Unable to open head file at " + head_path);
    std::ifstream tail(tail_path, std::ios::in | std::ios::binary);
    if (!tail.is_open()) throw tobrin_exception("Unable to open tail file at " + tail_path);

    // Copied in chunks so that a failed read or write is noticed: a log that
    // silently lost its beginning would look complete.
    std::vector<char> chunk(copy_chunk_size);
    while (tail) {
        tail.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        if (tail.bad()) throw tobrin_exception("Unable to read tail file at " + tail_path);
        if (tail.gcount() > 0 && !head.write(chunk.data(), tail.gcount()))
            throw tobrin_exception("Unable to write head file at " + head_path);
    }
    if (!head.flush()) throw tobrin_exception("Unable to write head file at " + head_path);
}

}  // namespace corvane
