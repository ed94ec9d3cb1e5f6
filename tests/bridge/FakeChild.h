#pragma once

// The child's side of the pipes, played by a test: real pipes between a
// PipeParent and the test, byte-exact reading of what the bridge sends, and
// builders for the child's messages.
//
// ThreadSanitizer does not count a pipe as synchronisation (the bridge writes
// through stdio, below its interceptors): a test looks at host objects that
// an exchange changed only once that exchange has ended.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include "CodeToParent.h"
#include "PipeParent.h"

namespace corvane {
namespace testing {

using Bytes = std::vector<uint8_t>;

// Nothing the bridge does should take this long; a test that waits longer
// has found a hang.
constexpr std::chrono::seconds hang_limit{10};

// Builds bytes in wire order.
class Wire {
public:
    Wire& i16(int16_t value) { return be(static_cast<uint16_t>(value), 2); }
    Wire& i32(int32_t value) { return be(static_cast<uint32_t>(value), 4); }
    Wire& i64(int64_t value) { return be(static_cast<uint64_t>(value), 8); }
    Wire& byte(uint8_t value) {
        bytes.push_back(value);
        return *this;
    }
    Wire& sep() { return byte(0xFF); }
    // A unicode field: int32 byte count, then the units low byte first.
    Wire& text(const std::u16string& units) {
        i32(static_cast<int32_t>(units.size() * 2));
        for (char16_t unit : units) {
            bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
            bytes.push_back(static_cast<uint8_t>(unit >> 8));
        }
        return *this;
    }
    Wire& raw(const Bytes& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    // The child's message header and code.
    Wire& message(int64_t thread_id, CodeToParent code) {
        return i64(thread_id).sep().i16(static_cast<int16_t>(code));
    }
    Wire& finished(int64_t thread_id, int32_t result) {
        return message(thread_id, CodeToParent::finished).i32(result).sep();
    }

    Bytes bytes;

private:
    Wire& be(uint64_t value, int width) {
        for (int i = width - 1; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
        return *this;
    }
};

// A frame from the bridge, up to and including its quad char.
struct ParentFrame {
    int64_t thread_id;
    int64_t session_id;
    int64_t file_id;
    int16_t code;
    std::u16string quad_char;
};

class FakeChild {
public:
    // Connects the bridge to fresh pipes; the bridge owns its ends.
    explicit FakeChild(PipeParent& parent) {
        int to_bridge[2];
        int from_bridge[2];
        if (pipe2(to_bridge, O_CLOEXEC) != 0 || pipe2(from_bridge, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        child_output = to_bridge[1];
        child_input = from_bridge[0];
        parent.attach_child_streams(fdopen(to_bridge[0], "r"), fdopen(from_bridge[1], "w"));
    }
    ~FakeChild() {
        close_output();
        close_input();
    }
    FakeChild(const FakeChild&) = delete;
    FakeChild& operator=(const FakeChild&) = delete;

    void write(const Wire& wire) { write(wire.bytes); }
    void write(const Bytes& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(child_output, bytes.data() + done, bytes.size() - done);
            if (n <= 0) throw std::runtime_error("write to the bridge failed");
            done += static_cast<size_t>(n);
        }
    }
    // The end of the child's standard output, as when the child dies.
    void close_output() {
        if (child_output >= 0) ::close(child_output);
        child_output = -1;
    }
    // The child stops reading its standard input.
    void close_input() {
        if (child_input >= 0) ::close(child_input);
        child_input = -1;
    }

    // Exactly n bytes the bridge sent; throws when they do not come in time.
    Bytes read(size_t n) {
        Bytes bytes(n);
        size_t done = 0;
        const auto deadline = std::chrono::steady_clock::now() + hang_limit;
        while (done < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{child_input, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
                throw std::runtime_error("the bridge sent nothing in time");
            const ssize_t got = ::read(child_input, bytes.data() + done, n - done);
            if (got <= 0) throw std::runtime_error("the bridge closed its end");
            done += static_cast<size_t>(got);
        }
        return bytes;
    }
    // True when the bridge has written nothing that is not yet read.
    bool nothing_sent() {
        pollfd ready{child_input, POLLIN, 0};
        return ::poll(&ready, 1, 0) == 0;
    }

    int16_t i16() { return static_cast<int16_t>(be(2)); }
    int32_t i32() { return static_cast<int32_t>(be(4)); }
    int64_t i64() { return static_cast<int64_t>(be(8)); }
    uint8_t byte() { return read(1)[0]; }
    std::u16string text() {
        const int32_t length = i32();
        if (length < 0 || length % 2 != 0) throw std::runtime_error("bad unicode field from the bridge");
        const Bytes bytes = read(static_cast<size_t>(length));
        std::u16string units;
        for (size_t i = 0; i < bytes.size(); i += 2)
            units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
        return units;
    }
    void expect_separator() { EXPECT_EQ(byte(), 0xFF) << "frame not ended by the separator"; }

    ParentFrame read_frame(bool with_quad_char = true) {
        ParentFrame frame;
        frame.thread_id = i64();
        frame.session_id = i64();
        frame.file_id = i64();
        frame.code = i16();
        if (with_quad_char) frame.quad_char = text();
        return frame;
    }
    // Reads a callback_result frame up to its body.
    ParentFrame read_callback_result() {
        ParentFrame frame = read_frame();
        EXPECT_EQ(frame.code, static_cast<int16_t>(CodeToChild::callback_result));
        return frame;
    }

private:
    uint64_t be(size_t width) {
        const Bytes bytes = read(width);
        uint64_t value = 0;
        for (uint8_t b : bytes) value = (value << 8) | b;
        return value;
    }

    int child_output = -1;
    int child_input = -1;
};

// A command waiting for its answer on a thread of its own. If the test ends
// before the answer, the child's output is closed so the exchange ends.
class Exchange {
public:
    Exchange(PipeParent& parent, FakeChild& child, int64_t thread_id, std::string quad_char = "Abcd")
        : child(child),
          result(std::async(std::launch::async, [&parent, thread_id, quad_char] {
              const fmx::ExprEnv environment(0, 0);
              return parent.send_cmd(CodeToChild::do_function, quad_char, PipeMessageSource(), true, thread_id, 0,
                                     0, environment);
          })) {}
    ~Exchange() {
        if (result.valid() && result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            child.close_output();
            result.wait();
        }
    }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    bool ends_in_time() { return result.wait_for(hang_limit) == std::future_status::ready; }
    // The command's result; rethrows the exchange's failure.
    int32_t get() {
        if (!ends_in_time()) throw std::runtime_error("the exchange did not end in time");
        return result.get();
    }
    // The failure's message, or "" when the exchange succeeded.
    std::string error() {
        try {
            get();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }

private:
    FakeChild& child;
    std::future<int32_t> result;
};

}  // namespace testing
}  // namespace corvane
