#include "SignalHandling.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "BridgeState.h"
#include "JarFixture.h"
#include "LaunchSupport.h"
#include "PipeParent.h"
#include "TestLogging.h"

using namespace corvane;
using namespace corvane::testing;
using namespace std::chrono_literals;

namespace {

// The SIGCHLD handling of a host process: the bridge object is pipeParent, as
// the entry point creates it, so the handler finds it.
class ChildHandlerTest : public ::testing::Test {
protected:
    ChildHandlerTest() {
        bridge->marker_dir = scratch.path;
        bridge->orphan_pid_folder = scratch.path;
    }
    ~ChildHandlerTest() override { ProcessUtils::exit_process(bridge->get_child_process_id()); }

    void launch(const std::string& mode) {
        bridge->launch_plugin_process("Test Plugin", "Tst1", mode, scratch.path, scratch.path, STUB_CHILD_PATH,
                                          false, FMInitParams{});
    }
    static bool child_handler_armed() {
        struct sigaction current {};
        sigaction(SIGCHLD, nullptr, &current);
        return current.sa_handler != SIG_DFL;
    }
    // True while pid is an unreaped child of the test.
    static bool unreaped(pid_t pid) {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0;
    }

    ScopedTestLog log;
    ScopedTempDir scratch;
    ScopedBridgeObject bridge;
    RestoreSignalHandlers restore_handlers;
};

TEST_F(ChildHandlerTest, ChildThatExitsIsReapedOnceOnTheSignalThread) {
    const uint64_t handled_before = handled_signal_count();
    launch("exit");
    const PID_T child = bridge->get_child_process_id();
    ASSERT_GT(child, 0);

    ASSERT_TRUE(wait_for_handled_signals(handled_before + 1, hang_limit));
    // The statement names the host thread that received the signal.
    EXPECT_TRUE(log.contains("Executing child handler for signal 'Child exited' on thread launch_tests"))
        << log.contents();
    EXPECT_TRUE(log.contains("Child process exited cleanly"));
    EXPECT_FALSE(unreaped(child));
    EXPECT_FALSE(child_handler_armed()) << "the handler disarms itself after one call";
}

struct OtherChildCase {
    const char* name;
    bool java_child_running;
};

// Test names carry the case; the parameter itself is not printed.
void PrintTo(const OtherChildCase& c, std::ostream* out) { *out << c.name; }

class OtherChildTest : public ChildHandlerTest, public ::testing::WithParamInterface<OtherChildCase> {};

// Another child of the host ends: its status stays with the host, and the
// Java child, if any, keeps running.
TEST_P(OtherChildTest, StatusOfAnotherChildIsLeftToTheHost) {
    if (GetParam().java_child_running) {
        launch("token");
        ASSERT_TRUE(bridge->is_alive()) << log.contents();
    } else {
        ASSERT_EQ(install_child_handler(), 0);
    }
    const uint64_t handled_before = handled_signal_count();

    SpawnedProcess other({"/bin/true"});
    ASSERT_GT(other.pid, 0);
    ASSERT_TRUE(wait_for_handled_signals(handled_before + 1, hang_limit));

    int status = 0;
    EXPECT_EQ(other.reap(status), other.pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(log.contains("Child process exited cleanly")) << log.contents();
    EXPECT_FALSE(child_handler_armed());
    if (GetParam().java_child_running) {
        EXPECT_TRUE(ProcessUtils::is_process_alive(bridge->get_child_process_id()));
    }
}

INSTANTIATE_TEST_SUITE_P(Launches, OtherChildTest,
                         ::testing::Values(OtherChildCase{"JavaChildRunning", true},
                                           OtherChildCase{"NoChildLaunchedYet", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct DirectCallCase {
    const char* name;
    bool bridge_present;
    const char* expected_statement;
    bool reaped;
};

void PrintTo(const DirectCallCase& c, std::ostream* out) { *out << c.name; }

class DirectChildHandlerTest : public ::testing::TestWithParam<DirectCallCase> {};

TEST_P(DirectChildHandlerTest, ReapsTheWatchedChildOnlyWithABridgeObject) {
    const DirectCallCase& c = GetParam();
    const ScopedTestLog log;
    std::unique_ptr<ScopedBridgeObject> bridge;
    if (c.bridge_present) bridge = std::make_unique<ScopedBridgeObject>();
    SpawnedProcess child({"/bin/true"});
    ASSERT_GT(child.pid, 0);
    watch_child_process(child.pid);
    ASSERT_TRUE(ProcessWatch(child.pid).ended_within(hang_limit));

    child_handler(SIGCHLD);

    EXPECT_TRUE(log.contains("Executing child handler for signal 'Child exited' on thread launch_tests"))
        << log.contents();
    EXPECT_TRUE(log.contains(c.expected_statement)) << log.contents();
    int status = 0;
    EXPECT_EQ(child.reap(status), c.reaped ? -1 : child.pid);
}

INSTANTIATE_TEST_SUITE_P(
    Bridge, DirectChildHandlerTest,
    ::testing::Values(DirectCallCase{"Present", true, "Child process exited cleanly", true},
                      DirectCallCase{"Absent", false, "Couldn't exit child process cleanly because PipeParent was null",
                                     false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MaskSig, BlocksChildSignalForTheCallingThreadOnly) {
    bool blocked_in_thread = false;
    std::thread worker([&] {
        mask_sig();
        sigset_t mask;
        pthread_sigmask(SIG_BLOCK, nullptr, &mask);
        blocked_in_thread = sigismember(&mask, SIGCHLD) == 1;
    });
    worker.join();
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    EXPECT_TRUE(blocked_in_thread);
    EXPECT_FALSE(sigismember(&mask, SIGCHLD));
}

void host_handler(int, siginfo_t*, void*) {}

// The bridge is unloaded after shutdown: what the host had must come back
// exactly, also after the one-shot SIGCHLD handler has reset itself.
TEST(HandlerInstallation, RestoresThePreviousDispositionsExactly) {
    const ScopedTestLog log;
    const std::vector<int> signals{SIGABRT, SIGFPE, SIGSEGV, SIGILL, SIGINT, SIGTERM, SIGCHLD};
    // What the test process had, whatever happens below.
    struct OriginalDispositions {
        explicit OriginalDispositions(const std::vector<int>& signals) : signals(signals), actions(signals.size()) {
            for (size_t i = 0; i < signals.size(); ++i) sigaction(signals[i], nullptr, &actions[i]);
        }
        ~OriginalDispositions() {
            for (size_t i = 0; i < signals.size(); ++i) sigaction(signals[i], &actions[i], nullptr);
        }
        const std::vector<int>& signals;
        std::vector<struct sigaction> actions;
    } const original(signals);
    RestoreSignalHandlers restore_handlers;

    struct sigaction host {};
    host.sa_sigaction = host_handler;
    host.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&host.sa_mask);
    sigaddset(&host.sa_mask, SIGUSR1);
    for (int sig : signals) sigaction(sig, &host, nullptr);

    install_crash_handler();
    ASSERT_EQ(install_child_handler(), 0);
    for (int sig : signals) {
        struct sigaction current {};
        sigaction(sig, nullptr, &current);
        EXPECT_NE(current.sa_sigaction, host_handler) << strsignal(sig);
    }
    // The SIGCHLD handler fires once and resets itself to the default.
    const uint64_t handled_before = handled_signal_count();
    {
        SpawnedProcess other({"/bin/true"});
        ASSERT_TRUE(wait_for_handled_signals(handled_before + 1, hang_limit));
    }
    restore_crash_handlers();
    restore_child_handler();

    for (int sig : signals) {
        struct sigaction current {};
        sigaction(sig, nullptr, &current);
        EXPECT_EQ(current.sa_sigaction, host_handler) << strsignal(sig);
        EXPECT_EQ(current.sa_flags & (SA_SIGINFO | SA_ONSTACK | SA_RESETHAND | SA_RESTART), SA_SIGINFO | SA_ONSTACK)
            << strsignal(sig);
        EXPECT_TRUE(sigismember(&current.sa_mask, SIGUSR1)) << strsignal(sig);
        EXPECT_FALSE(sigismember(&current.sa_mask, SIGUSR2)) << strsignal(sig);
    }
}

// --- Crash signals: a host process that must die --------------------------------

struct CrashCase {
    const char* name;
    const char* helper_mode;
    int sent_signal;  // 0: the helper aborts by itself
    int handled_signal;
    bool child_launched;
    const char* child_statement;  // "{child}" stands for the child's id
};

void PrintTo(const CrashCase& c, std::ostream* out) { *out << c.name; }

const CrashCase crash_cases[] = {
    {"SigtermAfterLaunch", "launch", SIGTERM, SIGTERM, true, "Exiting child process with id {child}"},
    {"AbortAfterLaunch", "launch-abort", 0, SIGABRT, true, "Exiting child process with id {child}"},
    {"SigintBeforeLaunch", "no-launch", SIGINT, SIGINT, false, "Exiting child process with id 0"},
    {"SigtermWithoutBridgeObject", "no-bridge", SIGTERM, SIGTERM, false,
     "Unable to create PipeParent. Exiting child process with id 0"},
};

class CrashTest : public ::testing::TestWithParam<CrashCase> {};

// Reads a line from fd, or fails when none comes in time.
std::string read_line(int fd) {
    std::string line;
    char byte = 0;
    while (line.empty() || line.back() != '\n') {
        pollfd watched{fd, POLLIN, 0};
        if (poll(&watched, 1, static_cast<int>(std::chrono::milliseconds(hang_limit).count())) != 1) break;
        if (read(fd, &byte, 1) != 1) break;
        line += byte;
    }
    return line;
}

TEST_P(CrashTest, HostProcessAbortsAndTakesTheChildAlong) {
    const CrashCase& c = GetParam();
    const ScopedTempDir scratch;
    const std::string log_file = scratch.file("helper.log");
    const std::string error_file = scratch.file("helper.err");

    int output[2];
    ASSERT_EQ(pipe2(output, O_CLOEXEC), 0);
    UniqueFd output_read(output[0]);
    UniqueFd output_write(output[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output_write.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> arguments{HOST_HELPER_PATH, c.helper_mode, log_file, STUB_CHILD_PATH, scratch.path};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t helper = -1;
    ASSERT_EQ(posix_spawn(&helper, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    output_write.reset();
    const ProcessWatch helper_watch(helper);

    const std::string child_line = read_line(output_read.get());
    ASSERT_FALSE(child_line.empty()) << read_whole_file(log_file);
    const pid_t child = std::stoi(child_line);
    EXPECT_EQ(child > 0, c.child_launched);
    const ProcessWatch child_watch(child);

    if (c.sent_signal != 0) kill(helper, c.sent_signal);
    const bool helper_ended = helper_watch.ended_within(hang_limit);
    if (!helper_ended) kill(helper, SIGKILL);
    int status = 0;
    waitpid(helper, &status, 0);
    ASSERT_TRUE(helper_ended);

    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << "status " << status;
    if (c.child_launched) {
        EXPECT_TRUE(child_watch.ended_within(2000ms)) << "the child outlived its host";
        child_watch.kill_if_running();
    }

    const std::string log = read_whole_file(log_file);
    std::string child_statement = c.child_statement;
    const size_t placeholder = child_statement.find("{child}");
    if (placeholder != std::string::npos) child_statement.replace(placeholder, 7, std::to_string(child));
    const std::vector<std::string> in_order{
        "=======================Stack Trace=======================",
        "Preparing to abort due to signal " + std::to_string(c.handled_signal), child_statement};
    size_t at = 0;
    for (const std::string& statement : in_order) {
        const size_t found = log.find(statement, at);
        EXPECT_NE(found, std::string::npos) << statement << " (in order)\n" << log;
        if (found != std::string::npos) at = found;
    }
    // The signal thread did the work: the handler's own last-resort lines on
    // standard error stay unused, and no sanitizer had anything to say.
    const std::string errors = read_whole_file(error_file);
    EXPECT_EQ(errors.find("Preparing to abort"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
}

INSTANTIATE_TEST_SUITE_P(Signals, CrashTest, ::testing::ValuesIn(crash_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
