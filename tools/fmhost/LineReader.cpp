#include "LineReader.h"

#include <unistd.h>

#include <cerrno>

namespace fmhost {

bool LineReader::next(std::string& line) {
    for (;;) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return true;
        }
        if (ended) {
            if (pending.empty()) return false;
            line.swap(pending);
            pending.clear();
            return true;
        }
        char buffer[4096];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0)
            ended = true;
        else
            pending.append(buffer, static_cast<size_t>(got));
    }
}

}  // namespace fmhost
