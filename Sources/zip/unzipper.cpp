#include "zip/unzipper.h"

#include <minizip/unzip.h>
#include <zlib.h>

#include <string>

namespace ziputils {

namespace {
constexpr unsigned int copy_chunk_size = 64 * 1024;

// From this size on an entry's 32-bit size field only says "see the 64-bit
// extension" (and some library builds pass that marker on as the size).
constexpr ZPOS64_T first_unsupported_size = 0xFFFFFFFFu;

bool fits_in_32_bits(const unz_file_info64& info) { return info.uncompressed_size < first_unsupported_size; }

unzFile handle(void* zip_file) { return static_cast<unzFile>(zip_file); }

// Only called with sizes that fit in 32 bits.
uLong checksum_of(const std::string& data) {
    return crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
}
}  // namespace

unzipper::~unzipper() { close(); }

bool unzipper::open(const char* filename) {
    close();
    if (filename == nullptr) return false;
    // The 64-bit variant, so that archives and offsets past 4 GiB work too.
    zipFile_ = unzOpen64(filename);
    return isOpen();
}

void unzipper::close() {
    if (!isOpen()) return;
    closeEntry();
    unzClose(handle(zipFile_));
    zipFile_ = nullptr;
}

bool unzipper::isOpen() const { return zipFile_ != nullptr; }

bool unzipper::openEntry(const char* filename) {
    if (!isOpen()) return entryOpen_;
    closeEntry();
    if (filename == nullptr) return false;
    constexpr int case_sensitive = 1;
    if (unzLocateFile(handle(zipFile_), filename, case_sensitive) != UNZ_OK) return false;
    entryOpen_ = unzOpenCurrentFile(handle(zipFile_)) == UNZ_OK;
    return entryOpen_;
}

void unzipper::closeEntry() {
    if (!entryOpen_) return;
    unzCloseCurrentFile(handle(zipFile_));
    entryOpen_ = false;
}

bool unzipper::isOpenEntry() const { return entryOpen_; }

unsigned int unzipper::getEntrySize() {
    if (!entryOpen_) return 0;
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(handle(zipFile_), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return 0;
    // Truncating to 32 bits would report a plausible but wrong size.
    if (!fits_in_32_bits(info)) return 0;
    return static_cast<unsigned int>(info.uncompressed_size);
}

unzipper& unzipper::operator>>(std::ostream& os) {
    if (!entryOpen_) return *this;

    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(handle(zipFile_), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        !fits_in_32_bits(info)) {
        os.setstate(std::ios::failbit);
        return *this;
    }

    // Read in chunks rather than trusting the declared size for one
    // allocation; the declared size and checksum then confirm the data.
    std::string content;
    std::string chunk(copy_chunk_size, '\0');
    for (;;) {
        const int got = unzReadCurrentFile(handle(zipFile_), chunk.data(), copy_chunk_size);
        if (got < 0) {
            os.setstate(std::ios::failbit);
            return *this;
        }
        if (got == 0) break;
        content.append(chunk.data(), static_cast<size_t>(got));
        if (content.size() > info.uncompressed_size) break;
    }

    if (content.size() != info.uncompressed_size || checksum_of(content) != info.crc) {
        os.setstate(std::ios::failbit);
        return *this;
    }
    if (!content.empty()) {
        os.write(content.data(), static_cast<std::streamsize>(content.size()));
        os.flush();
    }
    return *this;
}

}  // namespace ziputils
