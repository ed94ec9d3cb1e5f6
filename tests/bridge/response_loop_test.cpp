#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "BridgeFixture.h"

namespace corvane {
namespace testing {
namespace {

using ResponseLoopTest = BridgeTest;

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

const std::string broken_prefix = "The channel to the plug-in child process is broken: ";

TEST_F(ResponseLoopTest, FinishedEndsTheExchangeWithItsResult) {
    Exchange exchange(parent, child, 5);
    expect_command(5);
    child.write(Bytes{0, 0, 0, 0, 0, 0, 0, 5, 0xFF, 0, 0, 0, 0, 0, 0x2A, 0xFF});
    EXPECT_EQ(exchange.get(), 42);
    EXPECT_EQ(parent.get_thread_id_for_last_msg(), 0);
}

TEST_F(ResponseLoopTest, HeaderWithThreadIdZeroIsSkipped) {
    Exchange exchange(parent, child, 5);
    expect_command(5);
    child.write(Wire().i64(0).sep().finished(5, 3));
    EXPECT_EQ(exchange.get(), 3);
}

TEST_F(ResponseLoopTest, AnswersInReverseOrderReachTheirThreads) {
    // Which thread reads the first header varies from round to round.
    for (int round = 0; round < 20; ++round) {
        Exchange five(parent, child, 5);
        Exchange nine(parent, child, 9);
        std::set<int64_t> senders;
        for (int i = 0; i < 2; ++i) {
            senders.insert(child.read_frame().thread_id);
            child.expect_separator();
        }
        ASSERT_EQ(senders, (std::set<int64_t>{5, 9}));
        child.write(Wire().finished(9, 900).finished(5, 500));
        EXPECT_EQ(nine.get(), 900);
        EXPECT_EQ(five.get(), 500);
    }
    EXPECT_EQ(parent.get_thread_id_for_last_msg(), 0);
}

TEST_F(ResponseLoopTest, CallbackIsAnsweredWithACallbackResultTaggedWithTheThread) {
    Exchange exchange(parent, child, 5);
    expect_command(5);
    callback(5, CodeToParent::create_empty_fm_data);
    const int64_t data_token = child.i64();
    child.expect_separator();

    child.write(Wire().message(5, CodeToParent::is_empty).i64(data_token).sep());
    const Bytes expected = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05,  // thread
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // session
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // file
        0x00, 0x04,                                      // callback_result
        0x00, 0x00, 0x00, 0x08, 0x41, 0x00, 0x62, 0x00, 0x63, 0x00, 0x64, 0x00,  // "Abcd"
        0x01,                                            // empty
        0xFF};
    EXPECT_EQ(child.read(expected.size()), expected);

    child.write(Wire().finished(5, 1));
    EXPECT_EQ(exchange.get(), 1);
}

TEST_F(ResponseLoopTest, InterleavedCallbacksOfSeveralThreadsFindTheirExchanges) {
    const std::vector<int64_t> threads = {11, 12, 13, 14};
    std::vector<std::unique_ptr<Exchange>> exchanges;
    for (int64_t thread : threads) exchanges.push_back(std::make_unique<Exchange>(parent, child, thread));
    for (size_t i = 0; i < threads.size(); ++i) {
        child.read_frame();
        child.expect_separator();
    }

    // One whole message at a time, threads mixed: each creates a text as long
    // as its id's last digit.
    Wire creates;
    for (int64_t thread : threads)
        creates.message(thread, CodeToParent::create_fm_text).text(std::u16string(thread % 10, u'x')).sep();
    child.write(creates);
    std::map<int64_t, int64_t> token_of_thread;
    for (size_t i = 0; i < threads.size(); ++i) {
        const ParentFrame frame = child.read_callback_result();
        token_of_thread[frame.thread_id] = child.i64();
        child.expect_separator();
    }
    ASSERT_EQ(token_of_thread.size(), threads.size());

    Wire lengths;
    for (auto thread = threads.rbegin(); thread != threads.rend(); ++thread)
        lengths.message(*thread, CodeToParent::get_text_length).i64(token_of_thread[*thread]).sep();
    child.write(lengths);
    for (size_t i = 0; i < threads.size(); ++i) {
        const ParentFrame frame = child.read_callback_result();
        EXPECT_EQ(child.i32(), frame.thread_id % 10);
        child.expect_separator();
    }

    Wire finishes;
    for (int64_t thread : {13, 11, 14, 12}) finishes.finished(thread, static_cast<int32_t>(thread * 10));
    child.write(finishes);
    for (size_t i = 0; i < threads.size(); ++i) EXPECT_EQ(exchanges[i]->get(), threads[i] * 10);
}

TEST_F(ResponseLoopTest, CodeWithoutHandlerFailsTheExchangeAndBreaksTheChannel) {
    Exchange exchange(parent, child, 5);
    expect_command(5);
    child.write(Wire().message(5, static_cast<CodeToParent>(7)).sep());
    EXPECT_EQ(exchange.error(), "No handler exists for response code: CodeToParent::get_clipboard_data");
    EXPECT_TRUE(parent.is_channel_broken());
}

TEST_F(ResponseLoopTest, WrongSeparatorAfterAHeaderFailsTheExchange) {
    Exchange exchange(parent, child, 5);
    expect_command(5);
    child.write(Wire().i64(5).byte(0x00));
    EXPECT_EQ(exchange.error(),
              "Expected a -1 separator byte, but received 0. This probably indicates that the parent did not "
              "consume the entire message.");
    EXPECT_TRUE(parent.is_channel_broken());
}

TEST_F(ResponseLoopTest, EndOfStreamInTheMiddleEndsEveryWaitingExchange) {
    Exchange five(parent, child, 5);
    Exchange nine(parent, child, 9);
    for (int i = 0; i < 2; ++i) {
        child.read_frame();
        child.expect_separator();
    }
    child.write(Wire().i64(5).sep().byte(0));  // half a code
    child.close_output();
    const std::string five_error = five.error();
    const std::string nine_error = nine.error();
    EXPECT_FALSE(five_error.empty());
    EXPECT_FALSE(nine_error.empty());
    // Whoever read the cut message reports the end of stream; the other learns of the broken channel.
    EXPECT_TRUE(five_error.find("end of stream") != std::string::npos || starts_with(five_error, broken_prefix))
        << five_error;
    EXPECT_TRUE(nine_error.find("end of stream") != std::string::npos || starts_with(nine_error, broken_prefix))
        << nine_error;
}

TEST_F(ResponseLoopTest, HeaderForAThreadNobodyWaitsOnEndsTheExchanges) {
    Exchange five(parent, child, 5);
    expect_command(5);
    child.write(Wire().finished(77, 1));
    EXPECT_EQ(five.error(),
              broken_prefix + "received a message for thread 77, which has no exchange in progress");
}

TEST_F(ResponseLoopTest, OnceBrokenCommandsFailAtOnceAndSendNothing) {
    {
        Exchange five(parent, child, 5);
        expect_command(5);
        child.write(Wire().message(5, CodeToParent::unused).sep());
        EXPECT_FALSE(five.error().empty());
    }
    const fmx::ExprEnv environment(0, 0);
    for (bool expect_result : {true, false}) {
        try {
            parent.send_cmd(CodeToChild::do_idle, "Abcd", PipeMessageSource(), expect_result, 5, 0, 0, environment);
            ADD_FAILURE() << "a broken channel accepted a command";
        } catch (const tobrin_exception& e) {
            EXPECT_EQ(std::string(e.what()),
                      broken_prefix + "No handler exists for response code: CodeToParent::unused");
        }
    }
    EXPECT_TRUE(child.nothing_sent());
}

TEST_F(ResponseLoopTest, FailingCallbackEndsItsExchangeButKeepsTheStreamInStep) {
    {
        Exchange five(parent, child, 5);
        expect_command(5);
        callback(5, CodeToParent::create_fm_text, Wire().text(u"ab"));
        const int64_t text = child.i64();
        child.expect_separator();
        // A negative amount is refused once the whole message is read.
        child.write(Wire().message(5, CodeToParent::read_bytes_from_fm_text).i64(text).i32(0).i32(-1).sep());
        EXPECT_EQ(five.error(), "Invalid amount -1 for reading from a text (at most 134217728 units)");
    }
    EXPECT_FALSE(parent.is_channel_broken());
    Exchange again(parent, child, 5);
    expect_command(5);
    child.write(Wire().finished(5, 8));
    EXPECT_EQ(again.get(), 8);
}

}  // namespace
}  // namespace testing
}  // namespace corvane
