#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace corvane {

using FILE_PTR = std::FILE*;
using FILE_DES = int;

// The primitives of the pipe protocol with the child: big-endian
// two's-complement integers, signed single bytes and unicode fields (an int32
// big-endian byte count followed by UTF-16 code units, low byte first).
//
// Writers flush before they return, so every field reaches the pipe at once;
// they report only the byte count the stream accepted.
//
// End of stream: every reader either delivers a complete value or throws a
// tobrin_exception. A stream that ends inside a value, or before it, throws
// "Unexpected end of stream from child process"; a read error throws with the
// system's error text and errno as the code. get_c_as_int therefore never
// confuses end of stream with the byte 0xFF (which it returns as -1), and a
// loop that scans for a terminator byte ends with the exception when the
// child's stream closes.
class StreamUtils {
public:
    StreamUtils() = delete;

    // A unicode field that announces more bytes than this is refused before
    // anything is allocated; no legitimate text comes near it.
    static constexpr int32_t max_unicode_byte_length = 256 * 1024 * 1024;

    static std::vector<uint8_t> get_int16_bytes(int16_t my_short);
    static std::vector<uint8_t> get_int32_bytes(int32_t my_int);
    static std::vector<uint8_t> get_int64_bytes(int64_t my_long);

    static size_t write_int16_bytes(int16_t my_short, FILE_PTR stream);
    static size_t write_int32_bytes(int32_t my_int, FILE_PTR stream);
    static size_t write_int64_bytes(int64_t my_long, FILE_PTR stream);

    static int16_t read16_be(FILE_PTR stream);
    static int32_t read32_be(FILE_PTR stream);
    static int64_t read64_be(FILE_PTR stream);

    // Writes one byte and flushes; returns the number of bytes written (0 or 1).
    static int putc(const int8_t& c, FILE_PTR stream);
    static int8_t get_c(FILE_PTR stream);
    // One byte widened with its sign: 0xFF gives -1, 0x80 gives -128.
    static int32_t get_c_as_int(FILE_PTR stream);

    static void write_unicode_bytes(const std::u16string& text, FILE_PTR stream);
    static void write_unicode_bytes(std::vector<uint16_t> units, FILE_PTR stream);
    // Reads a unicode field. An odd byte count is rounded up to whole units
    // (one byte more is consumed than announced). A negative count or one
    // above max_unicode_byte_length throws.
    static std::vector<uint16_t> read_unicode_bytes(FILE_PTR stream);
    // Exactly `count` bytes whose count the child announced; memory is taken
    // as they arrive, not up front. Ends as the other readers do.
    static std::vector<uint8_t> read_announced_bytes(FILE_PTR stream, size_t count);

    // One read(2) call; its result unchanged. A negative length fails with
    // EINVAL instead of becoming a huge unsigned size.
    static int read_data(FILE_DES in, void* buf, int length);

    static void flush_file_ptr(const FILE_PTR& stream);
};

}  // namespace corvane
