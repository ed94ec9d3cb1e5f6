#pragma once

#include <cstdio>
#include <string>

namespace corvane {

// Error texts and buffered streams over descriptors.
class PosixUtils {
public:
    PosixUtils() = delete;

    // The system's text for an error number.
    static std::string str_error(int err_no);

    // fdopen: the stream, or null with errno set. The stream owns fd once
    // opened.
    static FILE* fd_open(int fd, const char* mode);
};

}  // namespace corvane
