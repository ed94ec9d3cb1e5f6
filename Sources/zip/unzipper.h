#pragma once

#include <ostream>

namespace ziputils {

// Reads single entries of a zip archive, including an archive that has other
// bytes in front of it (an executable with a JAR appended): the library finds
// the central directory from the end of the file and corrects every offset.
//
// One archive and at most one entry are open at a time. No operation throws
// or logs; failures show in the results only.
//
// Entries whose uncompressed size needs the format's 64-bit extension
// (0xFFFFFFFF bytes and more) are not supported: getEntrySize() reports 0 for
// them, and copying one writes nothing and sets failbit on the target stream
// so that it cannot pass for an empty entry.
class unzipper {
public:
    unzipper() = default;
    ~unzipper();
    unzipper(const unzipper&) = delete;
    unzipper& operator=(const unzipper&) = delete;

    // Closes what is open, then opens the archive; true when it opened.
    bool open(const char* filename);
    void close();
    bool isOpen() const;

    // Closes the open entry, then looks the name up (exact, case-sensitive)
    // and opens it. Returns whether an entry is open afterwards; on a closed
    // archive nothing changes.
    bool openEntry(const char* filename);
    void closeEntry();
    bool isOpenEntry() const;

    // Uncompressed size of the open entry; 0 when no entry is open, when its
    // information cannot be read or when the entry is too large (see above).
    unsigned int getEntrySize();

    // Copies the whole open entry into os and flushes it; the entry stays
    // open. Does nothing without an open entry. A read that fails writes
    // nothing and sets failbit on os.
    unzipper& operator>>(std::ostream& os);

private:
    void* zipFile_ = nullptr;  // the library's reader handle
    bool entryOpen_ = false;
};

}  // namespace ziputils
