#include "AtomicOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "PackError.h"

namespace fmxpack {

namespace {

std::string folder_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The temporary file: closed and removed again unless it was renamed.
class PendingFile {
public:
    explicit PendingFile(const std::string& target) {
        std::string name_template = folder_of(target) + "/." + name_of(target) + ".XXXXXX";
        fd_ = mkstemp(name_template.data());
        if (fd_ < 0) fail(target, "cannot create a temporary file next to it");
        path_ = name_template;
    }
    ~PendingFile() {
        if (fd_ >= 0) close(fd_);
        if (!committed_) std::remove(path_.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    void write_all(const std::string& bytes) {
        const char* next = bytes.data();
        size_t left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(fd_, next, left);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) fail(path_, "cannot be written");
            next += written;
            left -= static_cast<size_t>(written);
        }
    }

    void commit(const std::string& target) {
        // A shared object: readable and executable as the umask allows, like
        // the linker's own output.
        const mode_t mask = umask(0);
        umask(mask);
        if (fchmod(fd_, 0777 & ~mask) != 0) fail(path_, "cannot set its permissions");
        if (fsync(fd_) != 0) fail(path_, "cannot be written");
        const int fd = fd_;
        fd_ = -1;
        if (close(fd) != 0) fail(path_, "cannot be written");
        if (std::rename(path_.c_str(), target.c_str()) != 0) fail(target, "cannot be replaced");
        committed_ = true;
    }

private:
    [[noreturn]] static void fail(const std::string& path, const char* what) {
        throw pack_error(fmt::format("{}: {}: {}", path, what, std::strerror(errno)));
    }

    std::string path_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace

void write_atomically(const std::string& path, const std::vector<const std::string*>& pieces) {
    PendingFile pending(path);
    for (const std::string* piece : pieces) pending.write_all(*piece);
    pending.commit(path);
}

}  // namespace fmxpack
