#include <dirent.h>
#include <signal.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BridgeState.h"
#include "FakeChild.h"
#include "PipeParentFunctionCall.h"
#include "hostsdk/Host.h"
#include "util/TestLogging.h"
#include "util/lin/ThreadUtils.h"

namespace corvane {
namespace testing {
namespace {

constexpr int16_t echo_id = 1;
constexpr int16_t step_id = 2;

// The bridge's object as the host entry finds it (pipeParent), initialised,
// with a scripted child and the functions "Echo" and the script step "Step".
class ScopedBridge {
public:
    ScopedBridge() {
        pipeParent = std::make_unique<PipeParent>();
        parent().quad_char = "Abcd";
        parent().orphan_pid_folder = "/nonexistent/pid/root";
        parent().init_params.api_version = 56;
        parent().set_init(true);
        parent().record_plugin_function(PluginFunction(echo_id, "Echo", 0, false, false));
        parent().record_plugin_function(PluginFunction(step_id, "Step", 0, false, true));
        child = std::make_unique<FakeChild>(parent());
    }
    ~ScopedBridge() {
        // Shutdown asks the child to end; this one has gone, so it does not wait.
        child->close_output();
        pipeParent.reset();
    }
    ScopedBridge(const ScopedBridge&) = delete;
    ScopedBridge& operator=(const ScopedBridge&) = delete;

    static PipeParent& parent() { return *pipeParent; }
    std::unique_ptr<FakeChild> child;
};

// A host thread in do_function, with the call's values.
class HostCall {
public:
    HostCall(int16_t function_id, const std::vector<std::string>& texts, fmx::ExprEnv environment = fmx::ExprEnv(0, 0))
        : environment(environment) {
        for (const std::string& text : texts) {
            fmx::Data value;
            value.SetAsText(fmx::Text(text.c_str()), fmx::Locale());
            parameters.PushBack(value);
        }
        std::promise<int64_t> id;
        thread_id = id.get_future();
        outcome = std::async(std::launch::async, [this, function_id, id = std::move(id)]() mutable {
            id.set_value(ThreadUtils::get_current_thread_id_as_int());
            return do_function(function_id, this->environment, parameters, result);
        });
    }
    ~HostCall() {
        if (outcome.valid()) outcome.wait();
    }
    HostCall(const HostCall&) = delete;
    HostCall& operator=(const HostCall&) = delete;

    bool ends_in_time() { return outcome.wait_for(hang_limit) == std::future_status::ready; }
    FMX_ErrorCode get() {
        if (!ends_in_time()) throw std::runtime_error("do_function did not return in time");
        return outcome.get();
    }
    int64_t host_thread_id() { return thread_id.get(); }
    Token parameter_token(FMX_UInt32 index) const { return token_of(parameters.At(index)); }
    Token result_token() const { return token_of(result); }

    fmx::ExprEnv environment;
    fmx::DataVect parameters;
    fmx::Data result;

private:
    std::future<int64_t> thread_id;
    std::future<FMX_ErrorCode> outcome;
};

// A do_function command as the child reads it.
struct RelayedCall {
    ParentFrame frame;
    int16_t function_id;
    std::vector<int64_t> parameter_tokens;
    int64_t result_token;
    uint8_t unsafe_calls;
    uint8_t gui;
};

RelayedCall read_call(FakeChild& child) {
    RelayedCall call;
    call.frame = child.read_frame();
    EXPECT_EQ(call.frame.code, static_cast<int16_t>(CodeToChild::do_function));
    call.function_id = child.i16();
    const int32_t count = child.i32();
    for (int32_t i = 0; i < count; ++i) call.parameter_tokens.push_back(child.i64());
    call.result_token = child.i64();
    call.unsafe_calls = child.byte();
    call.gui = child.byte();
    child.expect_separator();
    return call;
}

// Public: the tables of cases below act on the fixture.
class FunctionCallTest : public ::testing::Test {
public:
    void SetUp() override { hostsim::Host::instance().reset(); }

    // Serves a callback for the thread and reads its answer up to the body.
    void callback(int64_t thread_id, CodeToParent code, const Wire& payload) {
        child().write(Wire().message(thread_id, code).raw(payload.bytes).sep());
        const ParentFrame frame = child().read_callback_result();
        EXPECT_EQ(frame.thread_id, thread_id);
    }
    std::u16string text_of(int64_t thread_id, int64_t data_token) {
        callback(thread_id, CodeToParent::get_fm_data_as_string, Wire().i64(data_token));
        const std::u16string text = child().text();
        child().expect_separator();
        return text;
    }
    void set_text(int64_t thread_id, int64_t data_token, const std::u16string& text) {
        callback(thread_id, CodeToParent::set_string_data, Wire().i64(data_token).text(text));
        child().expect_separator();
    }

    FakeChild& child() { return *bridge->child; }
    PipeParent& parent() { return ScopedBridge::parent(); }

    ScopedTestLog log;
    std::unique_ptr<ScopedBridge> bridge = std::make_unique<ScopedBridge>();
};

TEST_F(FunctionCallTest, RelaysTheCallAndServesCallbacksOnItsValues) {
    parent().init_params.unsafe_calls = 1;
    HostCall call(echo_id, {"hello", "7"}, fmx::ExprEnv(3, 9));

    const RelayedCall relayed = read_call(child());
    EXPECT_EQ(relayed.frame.thread_id, call.host_thread_id());
    EXPECT_EQ(relayed.frame.session_id, 3);
    EXPECT_EQ(relayed.frame.file_id, 9);
    EXPECT_EQ(relayed.frame.quad_char, u"Abcd");
    EXPECT_EQ(relayed.function_id, echo_id);
    EXPECT_EQ(relayed.parameter_tokens, (std::vector<int64_t>{call.parameter_token(0), call.parameter_token(1)}));
    EXPECT_EQ(relayed.result_token, call.result_token());
    EXPECT_EQ(relayed.unsafe_calls, 1);
    EXPECT_EQ(relayed.gui, 0);
    EXPECT_TRUE(parent().is_token_live({relayed.result_token, TokenType::data}));

    const int64_t thread = relayed.frame.thread_id;
    EXPECT_EQ(text_of(thread, relayed.parameter_tokens[0]), u"hello");
    set_text(thread, relayed.result_token, u"HELLO");
    child().write(Wire().finished(thread, 0x00070005));

    EXPECT_EQ(call.get(), 5);
    EXPECT_EQ(call.result.GetAsText().GetUTF8(), "HELLO");
    // The call's values are the host's again: the child can no longer name them.
    for (int64_t token : {relayed.parameter_tokens[0], relayed.parameter_tokens[1], relayed.result_token})
        EXPECT_FALSE(parent().is_token_live({token, TokenType::data}));
    EXPECT_TRUE(log.contains(fmt::format("Finished invoking function Echo with result of 5 in")));
}

TEST_F(FunctionCallTest, HostGetsTheLow16BitsOfTheChildsResult) {
    const std::vector<std::pair<int32_t, FMX_ErrorCode>> cases = {
        {0x00070005, 5}, {-1, -1}, {0x0001FFFF, -1}, {0x12340000, 0}, {0x7FFF, 0x7FFF}};
    for (const auto& [answer, expected] : cases) {
        HostCall call(echo_id, {});
        const RelayedCall relayed = read_call(child());
        EXPECT_TRUE(relayed.parameter_tokens.empty());
        child().write(Wire().finished(relayed.frame.thread_id, answer));
        EXPECT_EQ(call.get(), expected) << answer;
    }
}

TEST_F(FunctionCallTest, EveryFailureEndsTheCallWithMinusOne) {
    struct Case {
        const char* what;
        int16_t function_id;
        // Prepares the bridge before the call.
        std::function<void(FunctionCallTest&)> before;
        // Plays the child once the command has been read; null when nothing
        // may reach the child.
        std::function<void(FunctionCallTest&, int64_t thread)> child_plays;
        std::string logged;
    };
    const std::vector<Case> cases = {
        {"the child's output ends mid-call", echo_id, nullptr,
         [](FunctionCallTest& t, int64_t) { t.child().close_output(); },
         "An error occurred performing a function Echo: Unexpected end of stream from child process"},
        {"a separator is wrong", echo_id, nullptr,
         [](FunctionCallTest& t, int64_t thread) {
             t.child().write(Wire().message(thread, CodeToParent::finished).i32(0).byte(0x41).byte(0));
         },
         "An error occurred performing a function Echo: Expected a -1 separator byte, but received 65"},
        {"a callback has no handler", echo_id, nullptr,
         [](FunctionCallTest& t, int64_t thread) {
             t.child().write(Wire().message(thread, CodeToParent::get_clipboard_data).sep());
         },
         "No handler exists for response code: CodeToParent::get_clipboard_data"},
        {"the channel is already broken", echo_id,
         [](FunctionCallTest& t) { t.parent().mark_channel_broken("the child went away"); }, nullptr,
         "An error occurred performing a function Echo: The channel to the plug-in child process is broken: the "
         "child went away"},
        {"the id was never registered", 42, nullptr, nullptr,
         "An error occurred performing a function with ID 42: No plug-in function or script step is registered "
         "with ID 42"},
        {"the plug-in is not initialised", echo_id, [](FunctionCallTest& t) { t.parent().set_init(false); }, nullptr,
         "Plug-in function with ID 1 cannot be performed: the plug-in is not initialised"},
        {"there is no bridge object", echo_id, [](FunctionCallTest& t) { t.bridge.reset(); }, nullptr,
         "Plug-in function with ID 1 cannot be performed: the plug-in is not loaded"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bridge.reset();
        bridge = std::make_unique<ScopedBridge>();
        if (c.before) c.before(*this);
        HostCall call(c.function_id, {"x"});
        if (c.child_plays) c.child_plays(*this, read_call(child()).frame.thread_id);
        EXPECT_EQ(call.get(), -1);
        if (!c.child_plays && bridge) {
            EXPECT_TRUE(child().nothing_sent());
        }
        EXPECT_TRUE(log.contains(c.logged)) << log.contents();
    }
}

TEST_F(FunctionCallTest, TwoHostThreadsCallAtOnce) {
    HostCall first(echo_id, {"one"});
    HostCall second(echo_id, {"two"});
    std::map<int64_t, RelayedCall> relayed;
    for (int i = 0; i < 2; ++i) {
        RelayedCall call = read_call(child());
        relayed[call.frame.thread_id] = call;
    }
    const int64_t first_thread = first.host_thread_id();
    const int64_t second_thread = second.host_thread_id();
    ASSERT_EQ(relayed.size(), 2u);
    ASSERT_EQ(relayed.count(first_thread), 1u);
    ASSERT_EQ(relayed.count(second_thread), 1u);

    // Answered in the reverse order of the calls.
    for (int64_t thread : {second_thread, first_thread}) {
        const RelayedCall& call = relayed[thread];
        const std::u16string text = text_of(thread, call.parameter_tokens[0]);
        set_text(thread, call.result_token, text + u"!");
        child().write(Wire().finished(thread, thread == first_thread ? 1 : 2));
    }
    EXPECT_EQ(second.get(), 2);
    EXPECT_EQ(first.get(), 1);
    EXPECT_EQ(first.result.GetAsText().GetUTF8(), "one!");
    EXPECT_EQ(second.result.GetAsText().GetUTF8(), "two!");
}

TEST_F(FunctionCallTest, FunctionCallsDropTheThreadsReportedErrorScriptStepsKeepIt) {
    for (const int16_t id : {echo_id, step_id}) {
        HostCall call(id, {});
        const int64_t thread = read_call(child()).frame.thread_id;
        callback(thread, CodeToParent::on_error, Wire().text(u"went wrong").i32(1).byte(0));
        child().expect_separator();
        child().write(Wire().finished(thread, 0));
        EXPECT_EQ(call.get(), 0);
        // The entry stays; only a function call empties it.
        ASSERT_EQ(parent().last_plugin_exceptions.count(thread), 1u);
        EXPECT_EQ(parent().last_plugin_exceptions.at(thread) == nullptr, id == echo_id) << id;
    }
}

// The names and blocked signals of this process's threads, from /proc.
std::vector<std::pair<std::string, std::string>> threads_with_blocked_signals() {
    std::vector<std::pair<std::string, std::string>> threads;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return threads;
    while (const dirent* entry = readdir(tasks)) {
        const std::string task = std::string("/proc/self/task/") + entry->d_name;
        std::ifstream comm(task + "/comm");
        std::string name;
        if (!std::getline(comm, name)) continue;
        std::ifstream status(task + "/status");
        std::string line;
        std::string blocked;
        while (std::getline(status, line))
            if (line.rfind("SigBlk:", 0) == 0) blocked = line.substr(7);
        threads.emplace_back(name, blocked);
    }
    closedir(tasks);
    return threads;
}

TEST_F(FunctionCallTest, WorkerIsNamedAndKeepsTheChildExitSignalAway) {
    HostCall call(echo_id, {});
    const RelayedCall relayed = read_call(child());

    // The platform keeps 15 characters of "Velmora_plugin_function".
    int workers = 0;
    for (const auto& [name, blocked] : threads_with_blocked_signals()) {
        if (name != "Velmora_plugin_") continue;
        ++workers;
        const unsigned long long mask = std::stoull(blocked, nullptr, 16);
        EXPECT_NE(mask & (1ULL << (SIGCHLD - 1)), 0u);
    }
    EXPECT_EQ(workers, 1);
    child().write(Wire().finished(relayed.frame.thread_id, 0));
    EXPECT_EQ(call.get(), 0);
}

TEST_F(FunctionCallTest, CallFromInsideACallbackIsRefusedWithoutDeadlock) {
    hostsim::Host::instance().register_function(
        {fmx::QuadChar("Abcd"), echo_id, "Echo", "Echo(x)", "", 1, 1, 0, &do_function});
    HostCall call(echo_id, {});
    const int64_t thread = read_call(child()).frame.thread_id;

    // The host evaluates the child's expression on the thread that serves the
    // callback; the plug-in function in it cannot be relayed from there.
    callback(thread, CodeToParent::evaluate_expression, Wire().text(u"Echo(1)"));
    EXPECT_EQ(child().i16(), -1);
    child().i64();
    child().expect_separator();

    child().write(Wire().finished(thread, 3));
    EXPECT_EQ(call.get(), 3);
    EXPECT_TRUE(log.contains("was called while its thread serves a callback of the plug-in"));
}

}  // namespace
}  // namespace testing
}  // namespace corvane
