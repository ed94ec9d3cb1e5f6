#include "FrameWriter.h"

#include <cerrno>
#include <cstdio>
#include <new>

#include <fmt/format.h>

#include "exception/TobrinException.h"
#include "util/lin/PosixUtils.h"

namespace corvane {

namespace {

std::FILE* open_staging(void* cookie, ssize_t (*write)(void*, const char*, size_t)) {
    cookie_io_functions_t functions{};
    functions.write = write;
    std::FILE* stream = fopencookie(cookie, "w", functions);
    if (stream == nullptr)
        throw tobrin_exception(
            fmt::format("Unable to prepare a message to the child process: {}", PosixUtils::str_error(errno)), errno);
    // The primitives flush after every field; a buffer of the stream's own
    // would only copy the bytes twice.
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

}  // namespace

FrameWriter::FrameWriter(FILE_PTR destination)
    : destination(destination), staging(open_staging(this, &FrameWriter::collect), &std::fclose) {}

ssize_t FrameWriter::collect(void* cookie, const char* bytes, size_t size) {
    auto* writer = static_cast<FrameWriter*>(cookie);
    try {
        writer->pending.append(bytes, size);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return -1;
    }
    if (writer->pending.size() >= spill_bytes) writer->hand_over();
    return static_cast<ssize_t>(size);
}

void FrameWriter::hand_over() {
    if (!destination_failed && !pending.empty()) {
        handed_over = true;
        errno = 0;
        const size_t written = std::fwrite(pending.data(), 1, pending.size(), destination);
        if (written != pending.size() || std::fflush(destination) != 0) {
            destination_failed = true;
            destination_errno = errno;
        }
    }
    pending.clear();
}

void FrameWriter::finish() {
    if (std::ferror(staging.get()))
        throw tobrin_exception("A message to the child process could not be assembled in memory");
    hand_over();
    if (destination_failed || std::ferror(destination)) {
        if (destination_errno == 0) throw tobrin_exception("A message could not be written to the child process");
        throw tobrin_exception(fmt::format("A message could not be written to the child process: {}",
                                           PosixUtils::str_error(destination_errno)),
                               destination_errno);
    }
}

}  // namespace corvane
