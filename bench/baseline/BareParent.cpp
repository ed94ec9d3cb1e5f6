#include "BareParent.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

namespace bench {

namespace {

constexpr uint8_t request_kind = 0;  // parent: a request; child: the final answer
constexpr uint8_t answer_kind = 1;   // parent: a callback's answer; child: a callback
constexpr size_t frame_bytes = 13;

void write_all(int fd, const uint8_t* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) throw std::runtime_error(std::string("write to the bare child failed: ") + std::strerror(errno));
        bytes += written;
        size -= static_cast<size_t>(written);
    }
}

void read_all(int fd, uint8_t* bytes, size_t size) {
    while (size > 0) {
        const ssize_t got = ::read(fd, bytes, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) throw std::runtime_error("the bare child's output ended");
        bytes += got;
        size -= static_cast<size_t>(got);
    }
}

std::vector<char*> c_strings(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// One id per host thread, never 0.
int64_t host_thread_id() {
    static std::atomic<int64_t> next{1};
    thread_local const int64_t id = next++;
    return id;
}

struct Pipe {
    Fd read_end;
    Fd write_end;
    Pipe() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        read_end = Fd(ends[0]);
        write_end = Fd(ends[1]);
    }
};

}  // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        reset();
        fd = other.fd;
        other.fd = -1;
    }
    return *this;
}

void Fd::reset() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

JavaLaunch bridge_like_launch(const std::string& java, const std::string& class_path, const std::string& main_class) {
    return JavaLaunch{{java, "-Xdiag", "-cp", class_path, "-Djava.net.preferIPv4Stack=true", "-Dfile.encoding=UTF-8",
                       "-noverify", "-Xmx256m", main_class},
                      {"LD_DEBUG=libs", "Quennet=Vastle"}};
}

BareParent::BareParent(const JavaLaunch& launch) {
    Pipe input;
    Pipe output;
    Pipe errors;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.read_end.get(), 0);
    posix_spawn_file_actions_adddup2(&actions, output.write_end.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errors.write_end.get(), 2);
    std::vector<std::string> arguments = launch.arguments;
    std::vector<std::string> environment = launch.environment;
    std::vector<char*> argv = c_strings(arguments);
    std::vector<char*> envp = c_strings(environment);

    const auto spawned_at = std::chrono::steady_clock::now();
    const int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw std::runtime_error(std::string("cannot start the bare child: ") + std::strerror(error));

    to_child = std::move(input.write_end);
    from_child = std::move(output.read_end);
    child_errors = std::move(errors.read_end);
    input.read_end.reset();
    output.write_end.reset();
    errors.write_end.reset();
    // The loader's trace fills the error pipe long before the token comes.
    error_drain = std::thread([fd = child_errors.get()] {
        char buffer[4096];
        while (::read(fd, buffer, sizeof buffer) > 0) {
        }
    });

    try {
        uint8_t token[9];
        read_all(from_child.get(), token, sizeof token);
        if (token[0] != 0 || token[1] != 7 || std::memcmp(token + 2, "IMALIVE", 7) != 0)
            throw std::runtime_error("the bare child did not announce itself");
    } catch (...) {
        to_child.reset();
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        error_drain.join();
        throw;
    }
    started_after = std::chrono::steady_clock::now() - spawned_at;
}

BareParent::~BareParent() {
    to_child.reset();
    ::waitpid(child, nullptr, 0);
    if (error_drain.joinable()) error_drain.join();
}

int32_t BareParent::call(int32_t callbacks) {
    const int64_t thread_id = host_thread_id();
    int32_t result = 0;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            result = exchange(thread_id, callbacks);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    worker.join();
    if (failure) std::rethrow_exception(failure);
    return result;
}

void BareParent::send(const Frame& frame) {
    uint8_t bytes[frame_bytes];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(static_cast<uint64_t>(frame.thread_id) >> (56 - 8 * i));
    bytes[8] = frame.kind;
    for (int i = 0; i < 4; ++i) bytes[9 + i] = static_cast<uint8_t>(static_cast<uint32_t>(frame.value) >> (24 - 8 * i));
    std::lock_guard<std::mutex> output(output_lock);
    write_all(to_child.get(), bytes, sizeof bytes);
}

BareParent::Frame BareParent::receive() {
    uint8_t bytes[frame_bytes];
    read_all(from_child.get(), bytes, sizeof bytes);
    Frame frame;
    uint64_t id = 0;
    for (int i = 0; i < 8; ++i) id = (id << 8) | bytes[i];
    frame.thread_id = static_cast<int64_t>(id);
    frame.kind = bytes[8];
    uint32_t value = 0;
    for (int i = 9; i < 13; ++i) value = (value << 8) | bytes[i];
    frame.value = static_cast<int32_t>(value);
    return frame;
}

int32_t BareParent::exchange(int64_t thread_id, int32_t callbacks) {
    send(Frame{thread_id, request_kind, callbacks});
    std::unique_lock<std::mutex> input(input_lock);
    while (true) {
        frame_check.wait(input, [&] { return broken || !has_pending || pending.thread_id == thread_id; });
        if (broken) throw std::runtime_error("the bare child's output ended");
        if (!has_pending) {
            try {
                pending = receive();
            } catch (...) {
                broken = true;
                frame_check.notify_all();
                throw;
            }
            has_pending = true;
        }
        if (pending.thread_id != thread_id) {
            frame_check.notify_all();
            continue;
        }
        const Frame mine = pending;
        has_pending = false;
        frame_check.notify_all();
        if (mine.kind == request_kind) return mine.value;
        send(Frame{thread_id, answer_kind, mine.value});
    }
}

}  // namespace bench
