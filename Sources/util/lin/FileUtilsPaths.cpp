// The path helpers of FileUtils that the wrapper plug-in links on their own:
// they depend on nothing but the error type and the error texts.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "exception/TobrinException.h"
#include "util/lin/PosixUtils.h"
#include "util/lin/FileUtils.h"

namespace corvane {

namespace {
constexpr size_t template_buffer_size = 1024;

}  // namespace

std::string FileUtils::strip_trailing_separators(std::string path) {
    const auto last = path.find_last_not_of('/');
    path.erase(last == std::string::npos ? 0 : last + 1);
    return path;
}

std::string FileUtils::get_temporary_file_path(const std::string& prefix, const std::string& suffix,
                                               const char* temp_dir) {
    const std::string name_template = prefix + "XXXXXX" + suffix;
    if (name_template.size() >= template_buffer_size)
        throw tobrin_exception("Unable to create temp file: " + PosixUtils::str_error(ENAMETOOLONG), ENAMETOOLONG);

    const std::string path_template = create_path(temp_dir ? temp_dir : "", name_template);
    std::vector<char> path(path_template.begin(), path_template.end());
    path.push_back('\0');

    const int fd = mkstemps(path.data(), static_cast<int>(suffix.size()));
    if (fd < 0) {
        const int err = errno;
        throw tobrin_exception("Unable to create temp file: " + PosixUtils::str_error(err), err);
    }
    close(fd);
    return std::string(path.data());
}

}  // namespace corvane
