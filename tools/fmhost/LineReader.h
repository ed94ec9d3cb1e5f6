#pragma once

#include <string>

namespace fmhost {

// Lines of a descriptor, read with read(2) rather than through stdio: a
// sanitizer that holds signals back until the process enters a call it
// watches (as ThreadSanitizer does) then still sees a host that waits for
// commands, so a signal sent to the simulator is handled.
class LineReader {
public:
    explicit LineReader(int fd) : fd(fd) {}
    // The next line without its line feed; false at the end of input (a last
    // line without a line feed still counts) or on a read error.
    bool next(std::string& line);

private:
    int fd;
    std::string pending;
    bool ended = false;
};

}  // namespace fmhost
