#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "FakeChild.h"
#include "hostsdk/Host.h"
#include "util/TestLogging.h"
#include "util/lin/FileUtils.h"
#include "util/lin/ProcessUtils.h"
#include "util/lin/ThreadUtils.h"
#include "util/lin/UniqueFd.h"

namespace corvane {
namespace testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

FMX_ErrorCode do_nothing_entry(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect&, fmx::Data&) { return 0; }

// A real process that never answers: sleep, with the three pipes a launched
// child has. It is killed and reaped at the end if nobody else reaped it.
class SleepingChild {
public:
    SleepingChild() {
        int read_fd = -1;
        int write_fd = -1;
        int err_fd = -1;
        pid = ProcessUtils::create_process(read_fd, write_fd, err_fd, {"/bin/sleep", "30"});
        output.reset(read_fd);
        input.reset(write_fd);
        error.reset(err_fd);
        if (pid <= 0) throw std::runtime_error("sleep could not be started");
    }
    ~SleepingChild() {
        if (waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    SleepingChild(const SleepingChild&) = delete;
    SleepingChild& operator=(const SleepingChild&) = delete;

    // Makes the process's pipes the bridge's channel to its child.
    void connect(PipeParent& parent) {
        parent.attach_child_streams(fdopen(output.release(), "r"), fdopen(input.release(), "w"));
        parent.parent_err_fd = error.get();
        parent.parent_err_fp = fdopen(error.release(), "r");
        parent.parent_err_fp_ref_ct = 1;
    }
    // True once someone other than this object has reaped the process.
    bool reaped_by_bridge() const { return waitpid(pid, nullptr, WNOHANG) == -1 && errno == ECHILD; }

    PID_T pid = 0;

private:
    UniqueFd output;
    UniqueFd input;
    UniqueFd error;
};

class ShutdownTest : public ::testing::Test {
protected:
    void SetUp() override { hostsim::Host::instance().reset(); }
    void TearDown() override { hostsim::Host::instance().reset(); }

    static std::unique_ptr<PipeParent> make_parent() {
        auto parent = std::make_unique<PipeParent>();
        parent->quad_char = "Abcd";
        parent->plugin_name = "Test Plugin";
        parent->orphan_pid_folder = "/nonexistent/pid/root";
        return parent;
    }
    // Plays a child that answers the shutdown message at once; gives the
    // frame it read and the unsafe-calls byte of its body.
    static std::future<std::pair<ParentFrame, uint8_t>> answer_shutdown(FakeChild& child) {
        return std::async(std::launch::async, [&child] {
            const ParentFrame frame = child.read_frame();
            const uint8_t unsafe_calls = child.byte();
            child.expect_separator();
            child.write(Wire().finished(frame.thread_id, 0));
            return std::make_pair(frame, unsafe_calls);
        });
    }

    ScopedTestLog log;
    std::unique_ptr<PipeParent> parent = make_parent();
};

TEST_F(ShutdownTest, WithdrawsFunctionsThenAsksTheChildToShutDown) {
    auto& host = hostsim::Host::instance();
    host.register_function({fmx::QuadChar("Abcd"), 1, "Fn", "Fn()", "", 0, 0, 0, &do_nothing_entry});
    host.register_script_step({fmx::QuadChar("Abcd"), 2, "Step", "<Step/>", "", 0, &do_nothing_entry});
    host.register_function({fmx::QuadChar("Zzzz"), 1, "Other", "Other()", "", 0, 0, 0, &do_nothing_entry});
    parent->record_plugin_function(PluginFunction(1, "Fn", 0, false, false));
    parent->record_plugin_function(PluginFunction(2, "Step", 0, false, true));
    parent->init_params.unsafe_calls = 1;
    parent->initial_log_file_path = FileUtils::get_temporary_file_path("shutdown_startup_", ".log", "/tmp");
    parent->set_init(true);
    FakeChild child(*parent);

    struct Seen {
        ParentFrame frame;
        uint8_t unsafe_calls;
        // What the host offers when the child hears of the shutdown.
        std::vector<hostsim::RegisteredFunction> functions;
        size_t steps;
    };
    auto child_side = std::async(std::launch::async, [&child] {
        Seen seen;
        seen.frame = child.read_frame();
        seen.functions = hostsim::Host::instance().functions();
        seen.steps = hostsim::Host::instance().script_steps().size();
        seen.unsafe_calls = child.byte();
        child.expect_separator();
        child.write(Wire().finished(seen.frame.thread_id, 0));
        return seen;
    });
    const std::string startup_log = parent->initial_log_file_path;
    parent.reset();

    const Seen seen = child_side.get();
    EXPECT_EQ(seen.unsafe_calls, 1);
    EXPECT_EQ(seen.steps, 0u);
    ASSERT_EQ(seen.functions.size(), 1u);
    EXPECT_EQ(seen.functions[0].plugin_id.AsString(), "Zzzz");
    const ParentFrame& frame = seen.frame;
    EXPECT_EQ(frame.thread_id, ThreadUtils::get_current_thread_id_as_int());
    EXPECT_EQ(frame.session_id, 0);
    EXPECT_EQ(frame.file_id, 0);
    EXPECT_EQ(frame.code, static_cast<int16_t>(CodeToChild::shutdown));
    EXPECT_EQ(frame.quad_char, u"Abcd");
    EXPECT_FALSE(FileUtils::file_exists(startup_log));
    // Nothing else was sent, and the bridge's ends are closed.
    EXPECT_THROW(child.read(1), std::runtime_error);
    for (const char* statement :
         {"Shutting down Test Plugin", "Unregistering plug-in script step Step", "Starting shutdown of JVM child process",
          "Finished shutdown of JVM child process in", "JVM shutdown succeeded", "Terminating logging thread...",
          "Closing pipes", "Shutdown of Test Plugin complete in"})
        EXPECT_TRUE(log.contains(statement)) << statement;
}

TEST_F(ShutdownTest, ChildThatNeverAnswersIsEndedAfterTheWait) {
    SleepingChild sleeper;
    sleeper.connect(*parent);
    parent->child_process_id = sleeper.pid;
    parent->set_init(true);

    const auto started = steady_clock::now();
    parent.reset();
    const auto elapsed = std::chrono::duration_cast<milliseconds>(steady_clock::now() - started);

    EXPECT_GE(elapsed, PipeParent::shutdown_answer_wait);
    // SIGTERM ends sleep at once: no grace period is used up.
    EXPECT_LT(elapsed, PipeParent::shutdown_answer_wait + milliseconds(3000));
    EXPECT_TRUE(sleeper.reaped_by_bridge());
    EXPECT_TRUE(log.contains("JVM shutdown failed due to timeout"));
    EXPECT_TRUE(log.contains("Shutdown of Test Plugin complete in"));
}

TEST_F(ShutdownTest, AnsweringChildIsTerminatedAndKilledFirstInDebugMode) {
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug);
        parent = make_parent();
        SleepingChild sleeper;
        FakeChild child(*parent);
        parent->child_process_id = sleeper.pid;
        parent->debug_mode = debug;
        parent->set_init(true);
        auto child_side = answer_shutdown(child);
        parent.reset();

        EXPECT_EQ(child_side.get().first.code, static_cast<int16_t>(CodeToChild::shutdown));
        EXPECT_TRUE(sleeper.reaped_by_bridge());
        EXPECT_EQ(log.contains("Plug-in is in debug mode, so explicitly terminating child process"), debug);
    }
}

TEST_F(ShutdownTest, ExchangeEndingWithoutAnAnswerIsNotReportedAsSuccess) {
    FakeChild child(*parent);
    parent->set_init(true);
    child.close_output();
    parent.reset();
    EXPECT_TRUE(log.contains("JVM shutdown failed: Unexpected end of stream from child process"));
    EXPECT_FALSE(log.contains("JVM shutdown succeeded"));
}

TEST_F(ShutdownTest, IncompleteInitialisationSendsNothingAndEndsAnyChildItStarted) {
    for (const bool child_started : {false, true}) {
        SCOPED_TRACE(child_started);
        parent = make_parent();
        std::optional<SleepingChild> sleeper;
        if (child_started) {
            sleeper.emplace();
            parent->child_process_id = sleeper->pid;
        }
        FakeChild child(*parent);
        const std::string startup_log = FileUtils::get_temporary_file_path("shutdown_startup_", ".log", "/tmp");
        parent->initial_log_file_path = startup_log;
        parent.reset();

        // No message, and the pipes are closed.
        EXPECT_THROW(child.read(1), std::runtime_error);
        // Kept for diagnosis.
        EXPECT_TRUE(FileUtils::file_exists(startup_log));
        std::remove(startup_log.c_str());
        if (sleeper) {
            EXPECT_TRUE(sleeper->reaped_by_bridge());
        }
    }
    EXPECT_FALSE(log.contains("Starting shutdown of JVM child process"));
}

TEST_F(ShutdownTest, RecordsOfDeadHostsAreCleaned) {
    char scratch[] = "/tmp/shutdown_pids_XXXXXX";
    ASSERT_NE(mkdtemp(scratch), nullptr);
    // Ids above any pid_max name no process.
    const std::filesystem::path host_folder = std::filesystem::path(scratch) / "Abcd" / "999999999";
    std::filesystem::create_directories(host_folder);
    std::ofstream(host_folder / "999999998.pid").close();
    parent->orphan_pid_folder = scratch;
    parent.reset();

    EXPECT_FALSE(std::filesystem::exists(host_folder));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(scratch) / "Abcd"));
    EXPECT_TRUE(log.contains(fmt::format("Deleting orphaned PIDs from parent folder {}", scratch)));
    std::filesystem::remove_all(scratch);
}

TEST_F(ShutdownTest, ClosingEachPipeAgainDoesNothing) {
    FakeChild child(*parent);
    int err_pipe[2];
    ASSERT_EQ(pipe(err_pipe), 0);
    const UniqueFd err_write_end(err_pipe[1]);
    parent->parent_err_fp = fdopen(err_pipe[0], "r");
    parent->parent_err_fp_ref_ct = 1;
    for (int round = 0; round < 2; ++round) {
        parent->close_read_pipe();
        parent->close_write_pipe();
        parent->close_err_pipe();
    }
    EXPECT_EQ(parent->parent_read_fp, nullptr);
    EXPECT_EQ(parent->parent_write_fp, nullptr);
    EXPECT_EQ(parent->parent_err_fp, nullptr);
    EXPECT_EQ(parent->parent_read_fp_ref_ct + parent->parent_write_fp_ref_ct + parent->parent_err_fp_ref_ct, 0);
    // Shutdown closes them once more.
    parent.reset();
    EXPECT_TRUE(log.contains("Shutdown of Test Plugin complete in"));
}

}  // namespace
}  // namespace testing
}  // namespace corvane
