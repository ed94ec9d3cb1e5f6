#include "ExclusiveOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace corvane {

OutputFile create_exclusive_output(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return OutputFile();
    OutputFile file(fdopen(fd, "wb"));
    if (!file) {
        const int fdopen_errno = errno;
        close(fd);
        errno = fdopen_errno;
    }
    return file;
}

bool close_output(OutputFile file) {
    return file && std::fclose(file.release()) == 0;
}

}  // namespace corvane
