#include "util/lin/PosixUtils.h"

#include <cstring>

namespace corvane {

std::string PosixUtils::str_error(int err_no) {
    char buffer[256] = {};
    // The GNU strerror_r returns either buffer or a static text of its own.
    return std::string(strerror_r(err_no, buffer, sizeof buffer));
}

FILE* PosixUtils::fd_open(int fd, const char* mode) { return fdopen(fd, mode); }

}  // namespace corvane
