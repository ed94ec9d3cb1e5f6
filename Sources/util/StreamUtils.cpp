#include "util/StreamUtils.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <type_traits>

#include "exception/TobrinException.h"
#include "util/lin/PosixUtils.h"
#include "util/LogManager.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "unicode units are read and written in memory order, which must be little-endian");

namespace corvane {

namespace {


// Fills buf completely or throws: callers never see a partial value.
void read_exactly(FILE_PTR stream, void* buf, size_t size) {
    if (size == 0) return;
    if (std::fread(buf, 1, size, stream) == size) return;
    if (std::ferror(stream)) {
        const int err = errno;
        throw tobrin_exception(fmt::format("Error reading from child process: {}", PosixUtils::str_error(err)), err);
    }
    throw tobrin_exception("Unexpected end of stream from child process");
}

// Reads `count` values whose count the child announced. The buffer grows
// with what has arrived (at most doubling, from 64 KiB), so an absurd count
// followed by a few bytes costs no more memory than those bytes.
template <typename T>
std::vector<T> read_announced(FILE_PTR stream, size_t count) {
    constexpr size_t first_step = (64 * 1024) / sizeof(T);
    std::vector<T> values;
    while (values.size() < count) {
        const size_t done = values.size();
        const size_t next = std::min(count - done, std::max(first_step, done));
        values.resize(done + next);
        read_exactly(stream, values.data() + done, next * sizeof(T));
    }
    return values;
}

template <typename Int>
std::vector<uint8_t> big_endian_bytes(Int value) {
    const auto bits = static_cast<std::make_unsigned_t<Int>>(value);
    std::vector<uint8_t> bytes(sizeof(Int));
    for (size_t i = 0; i < sizeof(Int); ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * (sizeof(Int) - 1 - i)));
    return bytes;
}

template <typename Int>
Int read_big_endian(FILE_PTR stream) {
    uint8_t bytes[sizeof(Int)];
    read_exactly(stream, bytes, sizeof bytes);
    std::make_unsigned_t<Int> bits = 0;
    for (uint8_t byte : bytes) bits = static_cast<std::make_unsigned_t<Int>>((bits << 8) | byte);
    return static_cast<Int>(bits);
}

size_t write_and_flush(const std::vector<uint8_t>& bytes, FILE_PTR stream) {
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
    return written;
}

}  // namespace

std::vector<uint8_t> StreamUtils::get_int16_bytes(int16_t my_short) { return big_endian_bytes(my_short); }
std::vector<uint8_t> StreamUtils::get_int32_bytes(int32_t my_int) { return big_endian_bytes(my_int); }
std::vector<uint8_t> StreamUtils::get_int64_bytes(int64_t my_long) { return big_endian_bytes(my_long); }

size_t StreamUtils::write_int16_bytes(int16_t my_short, FILE_PTR stream) {
    return write_and_flush(get_int16_bytes(my_short), stream);
}
size_t StreamUtils::write_int32_bytes(int32_t my_int, FILE_PTR stream) {
    return write_and_flush(get_int32_bytes(my_int), stream);
}
size_t StreamUtils::write_int64_bytes(int64_t my_long, FILE_PTR stream) {
    return write_and_flush(get_int64_bytes(my_long), stream);
}

int16_t StreamUtils::read16_be(FILE_PTR stream) { return read_big_endian<int16_t>(stream); }
int32_t StreamUtils::read32_be(FILE_PTR stream) { return read_big_endian<int32_t>(stream); }
int64_t StreamUtils::read64_be(FILE_PTR stream) { return read_big_endian<int64_t>(stream); }

int StreamUtils::putc(const int8_t& c, FILE_PTR stream) {
    const int written = std::fputc(static_cast<uint8_t>(c), stream) == EOF ? 0 : 1;
    std::fflush(stream);
    return written;
}

int8_t StreamUtils::get_c(FILE_PTR stream) {
    uint8_t byte = 0;
    read_exactly(stream, &byte, 1);
    return static_cast<int8_t>(byte);
}

int32_t StreamUtils::get_c_as_int(FILE_PTR stream) { return get_c(stream); }

void StreamUtils::write_unicode_bytes(const std::u16string& text, FILE_PTR stream) {
    // A count that wrapped around would desynchronise the whole stream.
    if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()) / sizeof(char16_t))
        throw tobrin_exception(fmt::format("Text of {:d} units is too long to send to the child process", text.size()));
    const auto byte_length = static_cast<int32_t>(text.size() * sizeof(char16_t));
    // Count and units go out in one stream write.
    std::vector<uint8_t> field = get_int32_bytes(byte_length);
    const auto* units = reinterpret_cast<const uint8_t*>(text.data());
    field.insert(field.end(), units, units + text.size() * sizeof(char16_t));
    write_and_flush(field, stream);
}

void StreamUtils::write_unicode_bytes(std::vector<uint16_t> units, FILE_PTR stream) {
    write_unicode_bytes(std::u16string(units.begin(), units.end()), stream);
}

std::vector<uint16_t> StreamUtils::read_unicode_bytes(FILE_PTR stream) {
    const int32_t byte_length = read32_be(stream);
    LogManager::debug("Unicode byte length {:d}", byte_length);
    if (byte_length < 0 || byte_length > max_unicode_byte_length)
        throw tobrin_exception(fmt::format("Invalid unicode byte length {:d} from child process", byte_length));

    const int32_t unicode_units = byte_length / 2 + byte_length % 2;
    LogManager::debug("Unicode unit length {:d}", unicode_units);
    LogManager::debug("Started reading unicode bytes");
    std::vector<uint16_t> units = read_announced<uint16_t>(stream, static_cast<size_t>(unicode_units));
    LogManager::debug("Finished reading unicode bytes");
    return units;
}

std::vector<uint8_t> StreamUtils::read_announced_bytes(FILE_PTR stream, size_t count) {
    return read_announced<uint8_t>(stream, count);
}

int StreamUtils::read_data(FILE_DES in, void* buf, int length) {
    if (length < 0) {
        errno = EINVAL;
        return -1;
    }
    return static_cast<int>(::read(in, buf, static_cast<size_t>(length)));
}

void StreamUtils::flush_file_ptr(const FILE_PTR& stream) { std::fflush(stream); }

}  // namespace corvane
