#include "util/lin/ProcessUtils.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "TestLogging.h"
#include "exception/TobrinException.h"
#include "util/lin/PosixUtils.h"
#include "util/lin/UniqueFd.h"

using namespace corvane;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

constexpr int stream_timeout_ms = 10000;

void write_all(int fd, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        ASSERT_GT(n, 0) << PosixUtils::str_error(errno);
        written += static_cast<size_t>(n);
    }
}

// Everything up to end of stream; fails the test instead of hanging when the
// stream stays open.
std::string read_to_end(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        pollfd watched{fd, POLLIN, 0};
        const int ready = poll(&watched, 1, stream_timeout_ms);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            ADD_FAILURE() << "no end of stream within " << stream_timeout_ms << " ms; read so far: " << text;
            return text;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return text;
        text.append(buffer, static_cast<size_t>(n));
    }
}

// Reads until the text contains the marker (the child has reached a point).
void read_until(int fd, const std::string& marker) {
    std::string text;
    char byte;
    while (text.find(marker) == std::string::npos) {
        pollfd watched{fd, POLLIN, 0};
        ASSERT_EQ(poll(&watched, 1, stream_timeout_ms), 1) << "waiting for " << marker;
        ASSERT_EQ(read(fd, &byte, 1), 1) << "waiting for " << marker;
        text += byte;
    }
}

std::string pipe_identity(const std::string& fd_link) {
    char target[256] = {};
    const ssize_t n = readlink(fd_link.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// A child started through create_process with the parent's ends owned here.
// A child that is still running when the test ends is killed and reaped.
struct Child {
    explicit Child(const std::vector<std::string>& command) {
        int read_fd = -1, write_fd = -1, err_fd = -1;
        pid = ProcessUtils::create_process(read_fd, write_fd, err_fd, command);
        out.reset(read_fd);
        in.reset(write_fd);
        err.reset(err_fd);
    }
    ~Child() {
        if (pid > 0 && !reaped) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    int wait_status() {
        int status = -1;
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
        reaped = true;
        return status;
    }

    PID_T pid = 0;
    bool reaped = false;
    UniqueFd out, in, err;
};

class ProcessUtilsTest : public ::testing::Test {
protected:
    corvane::testing::ScopedTestLog log;
};

// --- create_process -------------------------------------------------------

TEST_F(ProcessUtilsTest, ChildRunsWithShortNameAndTalksThroughThreePipes) {
    const std::string script = "/bin/cat /proc/$$/cmdline; /bin/cat; echo to-stderr >&2";
    Child child({"/bin/sh", "-c", script});
    ASSERT_GT(child.pid, 0);

    write_all(child.in.get(), "from-parent");
    child.in.reset();  // the child's cat must see end of input

    EXPECT_EQ(read_to_end(child.out.get()), std::string("sh\0-c\0", 6) + script + '\0' + "from-parent");
    EXPECT_THAT(read_to_end(child.err.get()), HasSubstr("to-stderr\n"));
    const int status = child.wait_status();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    EXPECT_TRUE(log.contains("Full path to child process executable: /bin/sh"));
    EXPECT_TRUE(log.contains("Short name of child process executable: sh"));
    EXPECT_TRUE(log.contains(fmt::format("Child process spawned at PID {}", child.pid)));
    EXPECT_TRUE(log.contains("Working directory after child process spawned: "));
}

TEST_F(ProcessUtilsTest, ChildSeesExactlyTwoEnvironmentVariables) {
    ProcessUtils::set_environment_variable("CORVANE_PARENT_ONLY", "1");
    Child child({"/usr/bin/env"});
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(read_to_end(child.out.get()), "LD_DEBUG=libs\nQuennet=Vastle\n");
    read_to_end(child.err.get());
    child.wait_status();
    unsetenv("CORVANE_PARENT_ONLY");
}

TEST_F(ProcessUtilsTest, ChildHoldsOnlyItsStandardStreamsOfThePipes) {
    Child child({"/bin/cat"});
    ASSERT_GT(child.pid, 0);

    // Parent ends must not leak into other children the host starts later.
    for (const int fd : {child.out.get(), child.in.get(), child.err.get()})
        EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC) << fd;

    const auto own = [](int fd) { return pipe_identity("/proc/self/fd/" + std::to_string(fd)); };
    const std::string stdin_pipe = own(child.in.get());
    const std::string stdout_pipe = own(child.out.get());
    const std::string stderr_pipe = own(child.err.get());
    const std::string child_fds = "/proc/" + std::to_string(child.pid) + "/fd/";
    EXPECT_EQ(pipe_identity(child_fds + "0"), stdin_pipe);
    EXPECT_EQ(pipe_identity(child_fds + "1"), stdout_pipe);
    EXPECT_EQ(pipe_identity(child_fds + "2"), stderr_pipe);
    for (int fd = 3; fd < 64; ++fd) {
        const std::string target = pipe_identity(child_fds + std::to_string(fd));
        EXPECT_TRUE(target != stdin_pipe && target != stdout_pipe && target != stderr_pipe)
            << "child descriptor " << fd << " holds " << target;
    }
}

TEST_F(ProcessUtilsTest, FailedSpawnReturnsNoChildAndEndsThatReadEndOfStream) {
    // Neither is searched on PATH: a name without '/' is a path relative to
    // the working directory.
    for (const std::string command : {"no-such-program", "/no/such/dir/program"}) {
        Child child({command});
        EXPECT_LE(child.pid, 0) << command;
        EXPECT_EQ(read_to_end(child.out.get()), "") << command;
        EXPECT_EQ(read_to_end(child.err.get()), "") << command;
        EXPECT_TRUE(child.in.valid()) << command;
    }
    EXPECT_TRUE(log.contains("Short name of child process executable: no-such-program"));
    EXPECT_TRUE(log.contains("Short name of child process executable: program"));
    EXPECT_TRUE(log.contains("An error occurred while spawning a child process: No such file or directory"));

    Child no_command(std::vector<std::string>{});
    EXPECT_EQ(no_command.pid, 0);
    EXPECT_EQ(read_to_end(no_command.out.get()), "");
}

std::set<int> open_descriptors() {
    std::set<int> fds;
    for (int fd = 0; fd < 1024; ++fd)
        if (fcntl(fd, F_GETFD) != -1) fds.insert(fd);
    return fds;
}

TEST_F(ProcessUtilsTest, PipeFailureThrowsAndClosesOnlyWhatItOpened) {
    const std::set<int> before = open_descriptors();
    // Room for exactly two pipes: the third fails with EMFILE.
    std::vector<int> free_numbers;
    for (int fd = 0; free_numbers.size() < 5; ++fd)
        if (!before.count(fd)) free_numbers.push_back(fd);
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &original), 0);
    rlimit lowered = original;
    lowered.rlim_cur = static_cast<rlim_t>(free_numbers[4]);

    int read_fd = -7, write_fd = -7, err_fd = -7;
    int code = 0;
    std::string message;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    try {
        ProcessUtils::create_process(read_fd, write_fd, err_fd, {"/bin/cat"});
    } catch (const tobrin_exception& e) {
        code = e.code();
        message = e.what();
    }
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &original), 0);

    EXPECT_EQ(code, EMFILE);
    EXPECT_THAT(message, StartsWith("Unable to create pipe for child process: "));
    EXPECT_EQ(open_descriptors(), before);
    EXPECT_EQ(read_fd, -7);  // the caller's variables are left alone
    EXPECT_EQ(write_fd, -7);
    EXPECT_EQ(err_fd, -7);
}

using ProcessUtilsDeathTest = ProcessUtilsTest;

TEST_F(ProcessUtilsDeathTest, ChildStreamsAreRightWhenTheHostClosedItsOwn) {
    // New pipes then take descriptors 0 to 2, which the child's dup2 targets.
    const auto spawn_without_standard_streams = [] {
        close(STDIN_FILENO);
        close(STDOUT_FILENO);
        close(STDERR_FILENO);
        Child child({"/bin/sh", "-c", "read line; echo \"out:$line\"; echo \"err:$line\" >&2"});
        if (child.pid <= 0) std::_Exit(2);
        write_all(child.in.get(), "ping\n");
        child.in.reset();
        const bool wired = read_to_end(child.out.get()) == "out:ping\n" &&
                           read_to_end(child.err.get()).find("err:ping\n") != std::string::npos;
        std::_Exit(wired ? 0 : 1);
    };
    EXPECT_EXIT(spawn_without_standard_streams(), ::testing::ExitedWithCode(0), "");
}

// --- liveness, signals and reaping ------------------------------------------

TEST_F(ProcessUtilsTest, IsProcessAliveOnlyForExistingSingleProcesses) {
    Child gone({"/bin/true"});
    ASSERT_GT(gone.pid, 0);
    gone.wait_status();

    EXPECT_TRUE(ProcessUtils::is_process_alive(ProcessUtils::get_current_process_id()));
    EXPECT_FALSE(ProcessUtils::is_process_alive(gone.pid));
    EXPECT_TRUE(log.contains(fmt::format("An error occurred determining if process {} is alive. No such process",
                                         gone.pid)));
    // kill() would read these as process groups and report them alive.
    EXPECT_FALSE(ProcessUtils::is_process_alive(0));
    EXPECT_FALSE(ProcessUtils::is_process_alive(-1));
}

TEST_F(ProcessUtilsTest, NonPositiveIdsAreNeverSignalled) {
    // Signalling 0 or -1 would hit this test's process group or every process.
    ProcessUtils::exit_process(0);
    ProcessUtils::terminate_process(-1);
    ProcessUtils::exit_process(-1);
    ProcessUtils::terminate_process(0);
    EXPECT_EQ(log.contents(), "");
}

TEST_F(ProcessUtilsTest, ExitProcessKillsAndReaps) {
    Child child({"/bin/cat"});
    ASSERT_GT(child.pid, 0);
    ProcessUtils::exit_process(child.pid);
    child.reaped = true;

    EXPECT_EQ(waitpid(child.pid, nullptr, WNOHANG), -1);  // nothing left to reap
    EXPECT_TRUE(log.contains("Terminated process with signal 'Killed'"));
}

TEST_F(ProcessUtilsTest, ExitProcessReportsExitStatusOfAChildThatEndedAlready) {
    Child child({"/bin/sh", "-c", "exit 7"});
    ASSERT_GT(child.pid, 0);
    read_to_end(child.out.get());  // end of stream: the child has exited
    ProcessUtils::exit_process(child.pid);
    child.reaped = true;
    EXPECT_TRUE(log.contains("INFO: Terminated process with exit status 7"));
}

TEST_F(ProcessUtilsTest, TerminateProcessReapsAChildThatHonoursSigterm) {
    Child child({"/bin/cat"});
    ASSERT_GT(child.pid, 0);
    ProcessUtils::terminate_process(child.pid);
    child.reaped = true;
    EXPECT_EQ(waitpid(child.pid, nullptr, WNOHANG), -1);
    EXPECT_TRUE(log.contains("Terminated process with signal 'Terminated'"));
    EXPECT_FALSE(log.contains("SIGKILL"));
}

TEST_F(ProcessUtilsTest, TerminateProcessKillsAChildIgnoringSigtermAfterTheGracePeriod) {
    // An ignored signal stays ignored across exec, so cat ignores SIGTERM.
    Child child({"/bin/sh", "-c", "trap '' TERM; echo ready; exec /bin/cat"});
    ASSERT_GT(child.pid, 0);
    read_until(child.out.get(), "ready\n");

    const auto started = std::chrono::steady_clock::now();
    ProcessUtils::terminate_process(child.pid, std::chrono::milliseconds(100));
    const auto took = std::chrono::steady_clock::now() - started;
    child.reaped = true;

    EXPECT_GE(took, std::chrono::milliseconds(100));
    EXPECT_LT(took, ProcessUtils::termination_grace_period);
    EXPECT_EQ(waitpid(child.pid, nullptr, WNOHANG), -1);
    EXPECT_TRUE(log.contains(
        fmt::format("WARNING: Process {} did not end within 100 ms of SIGTERM; sending SIGKILL", child.pid)));
    EXPECT_TRUE(log.contains("Terminated process with signal 'Killed'"));
}

TEST_F(ProcessUtilsTest, WaitFailuresAreLoggedWithoutHangingOrKillingAgain) {
    // A process reaped elsewhere cannot be signalled any more.
    Child reaped({"/bin/true"});
    ASSERT_GT(reaped.pid, 0);
    reaped.wait_status();
    ProcessUtils::terminate_process(reaped.pid);
    EXPECT_TRUE(log.contains(
        fmt::format("CONFIG: Unable to send signal 'Terminated' to process {}: No such process", reaped.pid)));

    // A process that can be signalled but is not our child cannot be waited
    // for: the grandchild of a shell.
    Child shell({"/bin/sh", "-c", "/bin/sleep 30 & echo $!; wait"});
    ASSERT_GT(shell.pid, 0);
    std::string grandchild_text;
    char byte;
    while (read(shell.out.get(), &byte, 1) == 1 && byte != '\n') grandchild_text += byte;
    const PID_T grandchild = std::atoi(grandchild_text.c_str());
    ASSERT_GT(grandchild, 0) << grandchild_text;

    ProcessUtils::exit_process(grandchild);
    EXPECT_TRUE(log.contains(fmt::format("CONFIG: Unable to wait for process {}: No child processes", grandchild)));
    read_to_end(shell.out.get());  // the shell's wait returns once the grandchild is dead
    shell.wait_status();
}

// --- user and environment -------------------------------------------------

TEST_F(ProcessUtilsTest, UsernameIsTheEffectiveUsersLoginName) {
    const passwd* entry = getpwuid(geteuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(ProcessUtils::get_username(), entry->pw_name);
}

TEST_F(ProcessUtilsTest, EnvironmentVariablesAreSetReplacedAndReadBack) {
    const std::string name = "CORVANE_TEST_VARIABLE";
    unsetenv(name.c_str());
    EXPECT_EQ(ProcessUtils::get_environment_variable(name), "");

    ProcessUtils::set_environment_variable(name, "first");
    EXPECT_EQ(ProcessUtils::get_environment_variable(name), "first");
    ProcessUtils::set_environment_variable(name, "second:with=signs");
    EXPECT_EQ(ProcessUtils::get_environment_variable(name), "second:with=signs");
    ProcessUtils::set_environment_variable(name, "");
    EXPECT_EQ(ProcessUtils::get_environment_variable(name), "");
    unsetenv(name.c_str());
}

TEST_F(ProcessUtilsTest, InvalidEnvironmentNamesThrowWithTheErrorNumber) {
    for (const std::string name : {"", "NAME=VALUE"}) {
        try {
            ProcessUtils::set_environment_variable(name, "x");
            ADD_FAILURE() << "no exception for '" << name << "'";
        } catch (const tobrin_exception& e) {
            EXPECT_EQ(e.code(), EINVAL) << name;
            EXPECT_STREQ(e.what(), "Invalid argument") << name;
        }
    }
}

// --- PosixUtils -------------------------------------------------------------

TEST(PosixUtils, StrErrorGivesTheSystemText) {
    EXPECT_EQ(PosixUtils::str_error(ENOENT), "No such file or directory");
    EXPECT_EQ(PosixUtils::str_error(ECHILD), "No child processes");
    EXPECT_EQ(PosixUtils::str_error(123456), "Unknown error 123456");
}

TEST(PosixUtils, FdOpenWrapsADescriptorOrFailsWithErrno) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    FILE* reader = PosixUtils::fd_open(ends[0], "r");
    FILE* writer = PosixUtils::fd_open(ends[1], "w");
    ASSERT_NE(reader, nullptr);
    ASSERT_NE(writer, nullptr);
    EXPECT_GE(std::fputs("line\n", writer), 0);
    std::fclose(writer);  // closes the descriptor too: the reader sees end of stream
    char buffer[16] = {};
    ASSERT_NE(std::fgets(buffer, sizeof buffer, reader), nullptr);
    EXPECT_STREQ(buffer, "line\n");
    EXPECT_EQ(std::fgetc(reader), EOF);
    std::fclose(reader);

    errno = 0;
    EXPECT_EQ(PosixUtils::fd_open(-1, "r"), nullptr);
    EXPECT_EQ(errno, EBADF);
}

}  // namespace
