#pragma once

// The floor of the benchmarks: a parent that does the least the bridge's
// design requires, without any of the bridge's code. It starts the Java child
// with the bridge's command line and environment, waits for its start-up
// token, and runs every call on a thread of its own (created and joined per
// call) that sends one request and reads the answer, answering the child's
// callbacks on the way. Several host threads share the one pipe each way:
// whoever holds the input lock reads the next frame and hands it over when it
// belongs to somebody else.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

// Owns one descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd(other.fd) { other.fd = -1; }
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd; }
    void reset();

private:
    int fd = -1;
};

struct JavaLaunch {
    std::vector<std::string> arguments;    // the runtime first
    std::vector<std::string> environment;  // exactly these variables
};

// The bridge's launch of a Java main class: the runtime, its options, the
// class path and the class, in the bridge's environment.
JavaLaunch bridge_like_launch(const std::string& java, const std::string& class_path, const std::string& main_class);

class BareParent {
public:
    // Starts the child and waits for its token; throws std::runtime_error
    // when the child does not announce itself.
    explicit BareParent(const JavaLaunch& launch);
    // Closes the child's input (it exits at the end of it) and reaps it.
    ~BareParent();
    BareParent(const BareParent&) = delete;
    BareParent& operator=(const BareParent&) = delete;

    // From the spawn to the token on the child's standard output.
    std::chrono::nanoseconds startup_time() const { return started_after; }
    pid_t child_pid() const { return child; }

    // One call from the calling host thread with that many callbacks; returns
    // the child's answer. Throws std::runtime_error when the pipe breaks.
    int32_t call(int32_t callbacks);

private:
    struct Frame {
        int64_t thread_id = 0;
        uint8_t kind = 0;
        int32_t value = 0;
    };

    int32_t exchange(int64_t thread_id, int32_t callbacks);
    void send(const Frame& frame);
    Frame receive();

    pid_t child = 0;
    Fd to_child;
    Fd from_child;
    Fd child_errors;
    std::thread error_drain;
    std::chrono::nanoseconds started_after{0};

    std::mutex output_lock;
    std::mutex input_lock;
    std::condition_variable frame_check;
    bool has_pending = false;  // guarded by input_lock
    Frame pending;             // a frame read for another thread
    bool broken = false;       // guarded by input_lock
};

}  // namespace bench
