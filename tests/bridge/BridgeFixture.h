#pragma once

#include <gtest/gtest.h>

#include "FakeChild.h"
#include "PipeParent.h"
#include "exception/TobrinException.h"
#include "util/TestLogging.h"

namespace corvane {
namespace testing {

// A bridge object wired to a scripted child, with a test log.
class BridgeTest : public ::testing::Test {
protected:
    // Reads the command frame of an exchange and checks whose it is.
    void expect_command(int64_t thread_id) {
        const ParentFrame frame = child.read_frame();
        EXPECT_EQ(frame.thread_id, thread_id);
        EXPECT_EQ(frame.code, static_cast<int16_t>(CodeToChild::do_function));
        child.expect_separator();
    }
    // Sends one callback message for the thread and reads its answer's frame
    // up to the body, which the caller reads next.
    void callback(int64_t thread_id, CodeToParent code, const Wire& payload = Wire()) {
        child.write(Wire().message(thread_id, code).raw(payload.bytes).sep());
        const ParentFrame frame = child.read_callback_result();
        EXPECT_EQ(frame.thread_id, thread_id);
        EXPECT_EQ(frame.quad_char, u"Abcd");
    }

    ScopedTestLog log;
    PipeParent parent;
    FakeChild child{parent};
};

}  // namespace testing
}  // namespace corvane
