#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "util/StreamUtils.h"

namespace corvane {

// Collects the fields of one frame in memory, so that the pipe gets the frame
// in one write instead of one per field: each field written and flushed on its
// own wakes the child's reader once per field. The wire primitives write to
// stream() as they would to the pipe. A frame that outgrows spill_bytes is
// handed over in pieces as it grows; the caller holds the output lock
// throughout, so the child still reads it whole and in order.
class FrameWriter {
public:
    static constexpr size_t spill_bytes = 256 * 1024;

    // Throws tobrin_exception when no staging stream can be made.
    explicit FrameWriter(FILE_PTR destination);
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    FILE_PTR stream() const { return staging.get(); }
    // Hands the rest of the frame to the destination and flushes it. Throws
    // tobrin_exception when any part of the frame could not be written.
    void finish();
    // Whether any byte has been given to the destination, even in vain.
    bool has_handed_over() const { return handed_over; }
    // The error of the destination's failed write, 0 when none failed.
    int write_error() const { return destination_errno; }

private:
    static ssize_t collect(void* cookie, const char* bytes, size_t size);
    void hand_over();

    FILE_PTR destination;
    std::string pending;
    bool handed_over = false;
    bool destination_failed = false;
    int destination_errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> staging;
};

}  // namespace corvane
