#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BridgeFixture.h"
#include "BridgeState.h"
#include "FMUtils.h"
#include "PipeParentFunctionCall.h"
#include "hostsdk/Host.h"

namespace corvane {
namespace testing {
namespace {

constexpr int64_t thread_5 = 5;

struct FunctionFields {
    int16_t id;
    std::u16string name;
    std::u16string prototype;
    int32_t min_args;
    int32_t max_args;
    int32_t flags;
    int32_t timeout;
    uint8_t gui;
};

Wire function_payload(const FunctionFields& f, const std::optional<std::u16string>& description) {
    Wire wire;
    wire.i16(f.id).text(f.name).text(f.prototype).i32(f.min_args).i32(f.max_args).i32(f.flags).i32(f.timeout).byte(
        f.gui);
    if (description) wire.text(*description);
    return wire;
}

Wire script_step_payload(int16_t id, const std::u16string& name, int32_t flags, uint8_t gui) {
    return Wire().i16(id).text(name).text(u"<Step/>").i32(flags).i32(30).byte(gui).text(u"Runs the step");
}

// A bridge with an exchange in progress on thread 5, through which the child
// announces its functions, and a fresh host.
class RegistrationTest : public BridgeTest {
protected:
    void SetUp() override {
        hostsim::Host::instance().reset();
        parent.quad_char = "Abcd";
        parent.orphan_pid_folder = "/nonexistent/pid/root";
        dummy_script_engine = false;
    }
    void TearDown() override {
        if (exchange) finish_exchange();
        dummy_script_engine = false;
        hostsim::Host::instance().reset();
    }
    void start_exchange(FMX_Int16 api_version) {
        parent.init_params.api_version = api_version;
        exchange = std::make_unique<Exchange>(parent, child, thread_5);
        expect_command(thread_5);
    }
    // The host sees what the exchange changed once it is over.
    void finish_exchange() {
        child.write(Wire().finished(thread_5, 0));
        EXPECT_EQ(exchange->get(), 0);
        exchange.reset();
    }
    // Every registration callback is answered without a body.
    void announce(CodeToParent code, const Wire& payload) {
        callback(thread_5, code, payload);
        child.expect_separator();
    }

    std::unique_ptr<Exchange> exchange;
};

TEST_F(RegistrationTest, FunctionsReachTheHostInTheFormOfItsApiVersion) {
    struct Case {
        FMX_Int16 api_version;
        std::optional<std::u16string> description;
        FunctionFields fields;
    };
    const std::vector<Case> cases = {
        // Below 56 there is no description; the counts travel as int32 and
        // the host gets their low 16 bits.
        {55, std::nullopt, {7, u"Add", u"Add(a; b)", 0x00010002, 0x00020003, 0x0000FF01, 12, 1}},
        // From 56 on the description follows the GUI byte; only a byte of
        // exactly 1 means GUI.
        {56, u"Adds numbers", {8, u"Mul\u00e9", u"Mul(a)", 1, -1, 0, 0, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.api_version);
        hostsim::Host::instance().reset();
        start_exchange(c.api_version);
        announce(CodeToParent::register_function, function_payload(c.fields, c.description));
        finish_exchange();

        const auto functions = hostsim::Host::instance().functions();
        ASSERT_EQ(functions.size(), 1u);
        const hostsim::RegisteredFunction& host = functions[0];
        EXPECT_EQ(host.plugin_id.AsString(), "Abcd");
        EXPECT_EQ(host.function_id, c.fields.id);
        EXPECT_EQ(host.name, utf16_to_utf8_string(c.fields.name));
        EXPECT_EQ(host.prototype, utf16_to_utf8_string(c.fields.prototype));
        EXPECT_EQ(host.description, c.description ? utf16_to_utf8_string(*c.description) : "");
        EXPECT_EQ(host.min_args, static_cast<int16_t>(c.fields.min_args & 0xFFFF));
        EXPECT_EQ(host.max_args, static_cast<int16_t>(c.fields.max_args & 0xFFFF));
        EXPECT_EQ(host.flags, static_cast<FMX_UInt32>(c.fields.flags));
        EXPECT_EQ(host.entry, &do_function);

        const auto record = parent.find_plugin_function(c.fields.id);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->get_name(), utf16_to_utf8_string(c.fields.name));
        EXPECT_EQ(record->get_timeout_seconds(), c.fields.timeout);
        EXPECT_EQ(record->is_gui(), c.fields.gui == 1);
        EXPECT_FALSE(record->is_script_step());
    }
    EXPECT_TRUE(log.contains("Read function protype: Add(a; b)"));
    EXPECT_TRUE(log.contains("Read type-ahead description Adds numbers"));
}

TEST_F(RegistrationTest, ScriptStepsCarryTheirDescriptionAtEveryApiVersion) {
    start_exchange(55);
    announce(CodeToParent::register_script_step, script_step_payload(3, u"Export", 0x3, 1));
    finish_exchange();

    const auto steps = hostsim::Host::instance().script_steps();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].plugin_id.AsString(), "Abcd");
    EXPECT_EQ(steps[0].step_id, 3);
    EXPECT_EQ(steps[0].name, "Export");
    EXPECT_EQ(steps[0].definition, "<Step/>");
    EXPECT_EQ(steps[0].description, "Runs the step");
    EXPECT_EQ(steps[0].flags, 0x3u);
    EXPECT_EQ(steps[0].entry, &do_function);
    const auto record = parent.find_plugin_function(3);
    ASSERT_TRUE(record.has_value());
    EXPECT_TRUE(record->is_script_step());
    EXPECT_TRUE(record->is_gui());
    EXPECT_EQ(record->get_timeout_seconds(), 30);
}

TEST_F(RegistrationTest, DummyScriptEngineRecordsFunctionsButRegistersOnlyScriptSteps) {
    dummy_script_engine = true;
    start_exchange(56);
    announce(CodeToParent::register_function,
             function_payload({1, u"Quiet", u"Quiet()", 0, 0, 0, 0, 0}, std::u16string(u"not shown")));
    announce(CodeToParent::register_script_step, script_step_payload(2, u"Loud", 0, 0));
    finish_exchange();

    EXPECT_TRUE(hostsim::Host::instance().functions().empty());
    EXPECT_EQ(hostsim::Host::instance().script_steps().size(), 1u);
    EXPECT_TRUE(parent.find_plugin_function(1).has_value());
    EXPECT_TRUE(parent.find_plugin_function(2).has_value());
}

TEST_F(RegistrationTest, SameIdTwiceKeepsTheFirstRecordButReachesTheHostBothTimes) {
    start_exchange(55);
    announce(CodeToParent::register_function, function_payload({4, u"First", u"First()", 0, 0, 0, 0, 0}, {}));
    announce(CodeToParent::register_function, function_payload({4, u"Second", u"Second()", 0, 0, 0, 0, 0}, {}));
    finish_exchange();

    EXPECT_EQ(parent.find_plugin_function(4)->get_name(), "First");
    // The host replaces its entry, so the second registration reached it.
    const auto functions = hostsim::Host::instance().functions();
    ASSERT_EQ(functions.size(), 1u);
    EXPECT_EQ(functions[0].name, "Second");
}

TEST_F(RegistrationTest, RefusedRegistrationsAreLoggedAndStayRecorded) {
    start_exchange(55);
    // More arguments required than allowed, and a step without a name.
    announce(CodeToParent::register_function, function_payload({5, u"Bad", u"Bad()", 3, 1, 0, 0, 0}, {}));
    announce(CodeToParent::register_script_step, script_step_payload(6, u"", 0, 0));
    finish_exchange();

    EXPECT_TRUE(hostsim::Host::instance().functions().empty());
    EXPECT_TRUE(hostsim::Host::instance().script_steps().empty());
    EXPECT_TRUE(log.contains(fmt::format("An error occurred while registering Bad ({:d})", fmx::kErrInvalidArgument)));
    EXPECT_TRUE(log.contains(
        fmt::format("An error occurred while registering  as a script step ({:d})", fmx::kErrInvalidArgument)));
    EXPECT_TRUE(parent.find_plugin_function(5).has_value());
    EXPECT_TRUE(parent.find_plugin_function(6).has_value());
}

TEST_F(RegistrationTest, UnregisteringWithdrawsFromTheHostAndKeepsTheRecords) {
    start_exchange(55);
    announce(CodeToParent::register_function, function_payload({1, u"Fn", u"Fn()", 0, 0, 0, 0, 0}, {}));
    announce(CodeToParent::register_script_step, script_step_payload(2, u"Step", 0, 0));
    announce(CodeToParent::unregister_function, Wire().i16(1));
    announce(CodeToParent::unregister_script_step, Wire().i16(2));
    // Withdrawing what the host does not have is answered all the same.
    announce(CodeToParent::unregister_function, Wire().i16(99));
    finish_exchange();

    EXPECT_TRUE(hostsim::Host::instance().functions().empty());
    EXPECT_TRUE(hostsim::Host::instance().script_steps().empty());
    EXPECT_TRUE(parent.find_plugin_function(1).has_value());
    EXPECT_TRUE(parent.find_plugin_function(2).has_value());
}

}  // namespace
}  // namespace testing
}  // namespace corvane
