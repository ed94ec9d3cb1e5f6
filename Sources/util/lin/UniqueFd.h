#pragma once

#include <unistd.h>

#include <utility>

namespace corvane {

// Sole owner of a file descriptor: closes it once, when reset or destroyed.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd; }
    bool valid() const { return fd >= 0; }

    // Gives up ownership without closing.
    int release() { return std::exchange(fd, -1); }

    void reset(int replacement = -1) {
        const int old = std::exchange(fd, replacement);
        if (old >= 0) close(old);
    }

private:
    int fd = -1;
};

}  // namespace corvane
