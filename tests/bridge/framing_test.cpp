#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BridgeFixture.h"
#include "FrameWriter.h"
#include "util/lin/ThreadUtils.h"

namespace corvane {
namespace testing {
namespace {

using FramingTest = BridgeTest;

const fmx::ExprEnv environment_11_22(11, 22);

TEST_F(FramingTest, DoFunctionFrameIsExact) {
    parent.send_msg(CodeToChild::do_function, "Abcd", PipeMessageSource(), 7, 9, 3, environment_11_22);
    const Bytes expected = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07,  // thread
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03,  // session
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09,  // file
        0x00, 0x01,                                      // do_function
        0x00, 0x00, 0x00, 0x08, 0x41, 0x00, 0x62, 0x00, 0x63, 0x00, 0x64, 0x00,  // "Abcd"
        0xFF};
    EXPECT_EQ(child.read(expected.size()), expected);
    EXPECT_TRUE(child.nothing_sent());
}

TEST_F(FramingTest, SessionAndFileIdsComeFromTheEnvironmentAfterApi55) {
    struct Case {
        int16_t api_version;
        uint64_t session_in, file_in;
        int64_t session_sent, file_sent;
    };
    const Case cases[] = {{55, 0, 0, 0, 0}, {56, 0, 0, 11, 22}, {56, 5, 6, 5, 6}, {62, 0, 6, 11, 6}};
    for (const Case& c : cases) {
        parent.init_params.api_version = c.api_version;
        parent.send_msg(CodeToChild::file_shutdown, "Abcd", PipeMessageSource(), 7, c.file_in, c.session_in,
                        environment_11_22);
        const ParentFrame frame = child.read_frame();
        child.expect_separator();
        EXPECT_EQ(frame.session_id, c.session_sent) << "API " << c.api_version;
        EXPECT_EQ(frame.file_id, c.file_sent) << "API " << c.api_version;
    }
}

TEST_F(FramingTest, EmptyQuadCharLeavesTheFieldOut) {
    const PipeMessageSource body = [](FILE_PTR out) { StreamUtils::write_int32_bytes(0x01020304, out); };
    parent.send_msg(CodeToChild::do_idle, "", body, 7, 0, 0, environment_11_22);
    const Bytes expected = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07,  // thread
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // session
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // file
        0x00, 0x03,                                      // do_idle, no quad char
        0x01, 0x02, 0x03, 0x04,                          // body
        0xFF};
    EXPECT_EQ(child.read(expected.size()), expected);
    EXPECT_TRUE(child.nothing_sent());
}

TEST_F(FramingTest, ThreadIdZeroOrNegativeTagsTheCallingThread) {
    const int64_t me = ThreadUtils::get_current_thread_id_as_int();
    for (int64_t given : {int64_t{0}, int64_t{-4}}) {
        parent.send_msg(CodeToChild::session_ended, "Abcd", PipeMessageSource(), given, 0, 0, environment_11_22);
        EXPECT_EQ(child.read_frame().thread_id, me) << given;
        child.expect_separator();
    }
}

TEST_F(FramingTest, ConcurrentSendersProduceWholeFrames) {
    // Interleaved fields of different senders would show in the bodies.
    constexpr int frames_per_thread = 200;
    const std::vector<int64_t> senders = {41, 42, 43};
    std::vector<std::thread> threads;
    for (int64_t sender : senders) {
        threads.emplace_back([this, sender] {
            for (int i = 0; i < frames_per_thread; ++i) {
                const PipeMessageSource body = [sender, i](FILE_PTR out) {
                    StreamUtils::write_int32_bytes(i, out);
                    StreamUtils::write_unicode_bytes(std::u16string(u"from"), out);
                    StreamUtils::write_int64_bytes(sender, out);
                };
                parent.send_msg(CodeToChild::do_function, "Abcd", body, sender, 1, 2, environment_11_22);
            }
        });
    }
    std::map<int64_t, int> next_index;
    for (size_t n = 0; n < senders.size() * frames_per_thread; ++n) {
        const ParentFrame frame = child.read_frame();
        const int32_t index = child.i32();
        EXPECT_EQ(child.text(), u"from");
        EXPECT_EQ(child.i64(), frame.thread_id);
        child.expect_separator();
        EXPECT_EQ(index, next_index[frame.thread_id]++);
    }
    for (auto& thread : threads) thread.join();
    for (int64_t sender : senders) EXPECT_EQ(next_index[sender], frames_per_thread);
}

TEST_F(FramingTest, ChildThatStopsReadingBreaksTheChannelWithoutKillingTheHost) {
    child.close_input();
    EXPECT_THROW(parent.send_msg(CodeToChild::do_function, "Abcd", PipeMessageSource(), 7, 0, 0, environment_11_22),
                 tobrin_exception);
    EXPECT_TRUE(parent.is_channel_broken());
    try {
        parent.send_msg(CodeToChild::do_function, "Abcd", PipeMessageSource(), 7, 0, 0, environment_11_22);
        FAIL() << "a broken channel accepted a frame";
    } catch (const tobrin_exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("The channel to the plug-in child process is broken: ", 0), 0u);
    }
}

TEST_F(FramingTest, BodyThatFailsBeforeAnyByteLeftKeepsTheChannel) {
    const PipeMessageSource failing = [](FILE_PTR out) {
        StreamUtils::write_int32_bytes(5, out);
        throw tobrin_exception("the body cannot be written");
    };
    try {
        parent.send_msg(CodeToChild::do_function, "Abcd", failing, 7, 0, 0, environment_11_22);
        FAIL() << "a failing body was reported as sent";
    } catch (const tobrin_exception& e) {
        EXPECT_STREQ(e.what(), "the body cannot be written");
    }
    EXPECT_FALSE(parent.is_channel_broken());
    EXPECT_TRUE(child.nothing_sent());

    parent.send_msg(CodeToChild::session_ended, "Abcd", PipeMessageSource(), 8, 0, 0, environment_11_22);
    EXPECT_EQ(child.read_frame().thread_id, 8);
    child.expect_separator();
}

TEST_F(FramingTest, FrameLargerThanThePipeArrivesWholeAndInOrder) {
    // Larger than the staging threshold, so it leaves in pieces while the
    // child reads.
    Bytes body(3 * FrameWriter::spill_bytes + 17);
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 7 + i / 251);
    Bytes received;
    std::thread reader([&] {
        const ParentFrame frame = child.read_frame();
        EXPECT_EQ(frame.thread_id, 7);
        received = child.read(body.size());
        child.expect_separator();
    });
    const PipeMessageSource large = [&body](FILE_PTR out) {
        std::fwrite(body.data(), 1, body.size(), out);
        StreamUtils::flush_file_ptr(out);
    };
    parent.send_msg(CodeToChild::do_function, "Abcd", large, 7, 0, 0, environment_11_22);
    reader.join();
    EXPECT_TRUE(received == body);
    EXPECT_FALSE(parent.is_channel_broken());
}

TEST(ConsumeSeparator, ReportsTheStrayBytesAndStopsAtEndOfStream) {
    struct Case {
        Bytes sent;
        bool then_end_of_stream;
        const char* value;      // "" when the separator is right
        const char* collected;  // text logged after the message
    };
    const Case cases[] = {
        {{0xFF}, false, "", ""},
        {{0x41, 0x42, 0x00}, false, "65", "Messages from pipe:\nB"},
        {{0x41, 0x42, 0x43, 0xFF, 0x44}, false, "65", "Messages from pipe:\nBC"},
        {{0x41, 0x42}, true, "65", "Messages from pipe:\nB"},
        {{0xFE}, true, "-2", "Messages from pipe:\n"},
    };
    for (const Case& c : cases) {
        ScopedTestLog log;
        PipeParent parent;
        FakeChild child(parent);
        child.write(c.sent);
        if (c.then_end_of_stream) child.close_output();
        if (std::string(c.value).empty()) {
            EXPECT_NO_THROW(parent.consume_separator());
            continue;
        }
        const std::string message = std::string("Expected a -1 separator byte, but received ") + c.value +
                                    ". This probably indicates that the parent did not consume the entire message.";
        try {
            parent.consume_separator();
            ADD_FAILURE() << "no error for " << c.value;
        } catch (const tobrin_exception& e) {
            EXPECT_EQ(e.what(), message);
        }
        EXPECT_TRUE(log.contains(message));
        EXPECT_TRUE(log.contains(std::string(c.collected) + "\n")) << c.collected;
    }
}

TEST(ConsumeSeparator, EndOfStreamInsteadOfASeparatorFails) {
    ScopedTestLog log;
    PipeParent parent;
    FakeChild child(parent);
    child.close_output();
    EXPECT_THROW(parent.consume_separator(), tobrin_exception);
}

}  // namespace
}  // namespace testing
}  // namespace corvane
