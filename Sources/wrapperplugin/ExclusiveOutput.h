#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace corvane {

struct OutputFileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using OutputFile = std::unique_ptr<std::FILE, OutputFileCloser>;

// Creates a new file at path for writing, with the process's default
// permissions (0666 less the umask). Fails, with errno set and a null result,
// when anything already exists at path, a symbolic link included: the file is
// made in a world-writable folder, and a name planted there by someone else
// must not redirect the write.
OutputFile create_exclusive_output(const std::string& path);

// Flushes and closes the file; false when buffered bytes could not be written.
bool close_output(OutputFile file);

}  // namespace corvane
