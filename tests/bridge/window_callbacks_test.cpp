#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BridgeFixture.h"

namespace corvane {
namespace testing {
namespace {

constexpr int64_t thread_5 = 5;

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// Every window and desktop code answers at once with the body of its shape;
// without a window system the services answer empty texts, zero coordinates
// and a zero handle.
TEST(WindowCallbacks, EachCodeReadsItsPayloadAndAnswersItsShape) {
    struct Case {
        CodeToParent code;
        Wire payload;
        Bytes answer;
        std::string logged;  // written once more by this callback; "" for none
    };
    const Bytes empty_text(4, 0);
    const std::vector<Case> cases = {
        {CodeToParent::bring_app_window_to_front, Wire(), {}, ""},
        {CodeToParent::bring_process_window_to_front, Wire(), {}, ""},
        {CodeToParent::set_fm_as_parent_window, Wire(), {}, ""},
        {CodeToParent::show_file_chooser, Wire().text(u"/home").byte(1).byte(0).byte(2).text(u"Pick a file"),
         empty_text, ""},
        // Four doubles 0.0 as their IEEE 754 bits.
        {CodeToParent::get_fm_window_coordinates, Wire(), Bytes(32, 0), ""},
        {CodeToParent::show_faux_window, Wire(), {}, ""},
        {CodeToParent::get_active_window_name, Wire(), empty_text, ""},
        {CodeToParent::get_fm_window_handle, Wire(), Bytes(8, 0), "Retrieved window handle 0"},
        {CodeToParent::enable_fm_window, Wire(), {}, "Enabled Windows in FileMaker"},
        {CodeToParent::disable_fm_window, Wire(), {}, "Disabled Windows in FileMaker"},
        {CodeToParent::disable_window_management, Wire(), {}, "Disabled Window Management for Plugin Dialogs"},
        // The same effect as enable_fm_window.
        {CodeToParent::register_scroll_event, Wire(), {}, "Enabled Windows in FileMaker"},
    };

    ScopedTestLog log;
    PipeParent parent;
    FakeChild child(parent);
    Exchange exchange(parent, child, thread_5);
    child.read_frame();
    child.expect_separator();
    for (const Case& c : cases) {
        const size_t logged_before = c.logged.empty() ? 0 : occurrences(log.contents(), c.logged);
        child.write(Wire().message(thread_5, c.code).raw(c.payload.bytes).sep());
        const ParentFrame frame = child.read_callback_result();
        EXPECT_EQ(frame.thread_id, thread_5);
        EXPECT_EQ(child.read(c.answer.size()), c.answer) << to_string(c.code);
        child.expect_separator();
        if (!c.logged.empty()) {
            EXPECT_EQ(occurrences(log.contents(), c.logged), logged_before + 1) << c.logged;
        }
    }
    EXPECT_TRUE(child.nothing_sent());
    child.write(Wire().finished(thread_5, 0));
    EXPECT_EQ(exchange.get(), 0);
    EXPECT_FALSE(parent.window_management_enabled);
    EXPECT_FALSE(parent.is_channel_broken());
}

}  // namespace
}  // namespace testing
}  // namespace corvane
