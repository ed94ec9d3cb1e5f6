#include "WrapperPlugin.h"

#include <dlfcn.h>
#include <fmt/format.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "ExclusiveOutput.h"
#include "SeparatorSequence.h"

namespace corvane {

namespace {
// The marker is looked for only once more than this many bytes were read.
constexpr size_t bytes_before_first_test = 100;

[[noreturn]] void fail_with_perror(const char* what, int error_number) {
    errno = error_number;
    std::perror(what);
    throw std::exception();
}
}  // namespace

bool WrapperPlugin::splitDetected(const std::vector<char>& stmt) const {
    // Built once: the scan asks once per byte of a multi-megabyte wrapper.
    static const std::vector<char> separator = SeparatorSequence::getSeparatorSequence();
    if (stmt.size() <= bytes_before_first_test) return false;

    const size_t start = stmt.size() - separator.size();
    for (size_t i = 0; i < separator.size(); ++i)
        if (stmt[start + i] != separator[i]) return false;
    return true;
}

void WrapperPlugin::splitFilesApart(const std::string& passthrough_file_path,
                                    const std::string& splitout_file_path) const {
    struct stat results {};
    if (stat(passthrough_file_path.c_str(), &results) != 0) throw std::exception();
    const std::streamoff container_size = results.st_size;
    fmt::print("size of passthrough: {}\n", container_size);

    std::ifstream input(passthrough_file_path, std::ios::in | std::ios::binary);
    fmt::print("Splitting out plugin file library...");
    fmt::print("Detecting split section...");

    // Bytes consumed so far; the same as the stream's read position, kept
    // here so that a multi-megabyte scan does not ask the stream per byte.
    std::streamoff position = 0;
    std::vector<char> stmt;
    char buf = 0;
    for (;;) {
        if (position >= container_size) throw std::logic_error("exceeded our size limit");
        if (!input.read(&buf, 1)) {
            const int read_errno = errno;
            fmt::print(stderr, "only {}could be read\n", input.gcount());
            fail_with_perror("Could not read from file", read_errno);
        }
        ++position;
        stmt.push_back(buf);
        if (splitDetected(stmt)) break;
    }

    fmt::print("Split detected.");
    fmt::print("Separating actual plugin out...");
    if (std::remove(splitout_file_path.c_str()) != 0) std::perror("Error deleting file: ");

    OutputFile splitfile = create_exclusive_output(splitout_file_path);
    const int create_errno = errno;
    do {
        if (!input.read(&buf, 1)) fail_with_perror("Could not read from file", errno);
        ++position;
        if (!splitfile) fail_with_perror("Could not writre to file", create_errno);
        if (std::fputc(static_cast<unsigned char>(buf), splitfile.get()) == EOF)
            fail_with_perror("Could not writre to file", errno);
    } while (position < container_size);

    // The last buffered bytes reach the file only here; losing them would
    // leave a truncated bridge behind a successful split.
    if (!close_output(std::move(splitfile))) fail_with_perror("Could not writre to file", errno);
    input.close();
    fmt::print("Actual plugin separated.");
}

std::string WrapperPlugin::getFilePathForCurrentLibrary(FMX_ExternCallPtr& ptr) const {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(ptr->entryPoint), &info) != 0 && info.dli_fname != nullptr) {
        fmt::print("Plugin path location: {}\n", info.dli_fname);
        return info.dli_fname;
    }
    print_plugin_path_error();
    throw std::exception();
}

void print_plugin_path_error() {
    const char* loader_error = dlerror();
    if (loader_error != nullptr)
        fmt::print(stderr, "An error occurred retrieving a path to the plug-in: {}\n", loader_error);
    else
        fmt::print(stderr, "An error occurred retrieving a path to the plug-in\n");
}

}  // namespace corvane
