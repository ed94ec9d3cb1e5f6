// A child that breaks the protocol in every way we know of, run in the host
// simulator: the host stays up, the affected call and the later ones fail,
// shutdown ends in bounded time and no child process is left.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "HostProcess.h"
#include "RunProcess.h"

namespace {

using fmhost_test::lines_of;
using fmhost_test::ProcessResult;
using fmhost_test::run_process;
using testing::HasSubstr;
using testing::StartsWith;
using Clock = std::chrono::steady_clock;

// Far above what a healthy run needs (a JVM start, a few calls, at most the
// shutdown wait and the termination grace period), far below a hang.
constexpr auto bounded_run = std::chrono::seconds(30);
constexpr auto child_exit_after_host_death = std::chrono::seconds(20);

std::vector<std::string> fmhost_argv(const std::vector<std::string>& options, const std::vector<std::string>& commands) {
    std::vector<std::string> argv{FMHOST_PATH};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(FAULT_PLUGIN_PATH);
    argv.insert(argv.end(), commands.begin(), commands.end());
    return argv;
}

pid_t child_pid_from(const std::string& line) { return static_cast<pid_t>(std::stol(line)); }

// The commands' results: the last lines of the output, after the wrapper's
// progress lines on loading.
std::vector<std::string> results_of(const std::string& out, size_t commands) {
    const auto lines = lines_of(out);
    if (lines.size() < commands) return lines;
    return std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(commands), lines.end());
}

bool is_number(const std::string& line) {
    return !line.empty() && line.find_first_not_of("0123456789") == std::string::npos;
}

struct FaultCase {
    const char* name;
    const char* fault;         // the call that misbehaves
    bool call_fails;           // the faulty call itself returns an error
    const char* fault_result;  // its printed result when it does not fail
    bool channel_survives;     // a later call still works
};

class ChildFault : public testing::TestWithParam<FaultCase> {};

TEST_P(ChildFault, HostSurvivesAndLeavesNoProcess) {
    const FaultCase& fault = GetParam();
    const auto began = Clock::now();
    const ProcessResult run =
        run_process(fmhost_argv({}, {"eval FLT_Pid", std::string("eval ") + fault.fault, "eval FLT_Echo(\"after\")"}));
    const auto elapsed = Clock::now() - began;

    const auto lines = results_of(run.out, 3);
    ASSERT_EQ(lines.size(), 3u) << run.out << run.err;
    ASSERT_TRUE(is_number(lines[0])) << run.out << run.err;
    const pid_t child = child_pid_from(lines[0]);
    if (fault.call_fails) {
        EXPECT_THAT(lines[1], StartsWith("error ")) << run.err;
    } else {
        EXPECT_EQ(lines[1], fault.fault_result) << run.err;
    }
    if (fault.channel_survives) {
        EXPECT_EQ(lines[2], "after") << run.err;
    } else {
        EXPECT_THAT(lines[2], StartsWith("error ")) << run.err;
    }
    // The host process itself ended normally: 1 when a command failed.
    EXPECT_EQ(run.exit_code, fault.call_fails || !fault.channel_survives ? 1 : 0) << run.err;
    EXPECT_LT(elapsed, bounded_run);
    EXPECT_TRUE(fault_test::process_gone(child)) << "child " << child << " outlived its host";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ChildFault,
    testing::Values(FaultCase{"ExitsInTheMiddleOfACall", "FLT_ExitInCall", true, "", false},
                    FaultCase{"ExitsInTheMiddleOfACallback", "FLT_ExitInCallback", true, "", false},
                    FaultCase{"WritesGarbage", "FLT_Garbage", true, "", false},
                    FaultCase{"WritesAWrongSeparator", "FLT_WrongSeparator", true, "", false},
                    FaultCase{"SendsACodeWithoutHandler", "FLT_UnknownCode", true, "", false},
                    FaultCase{"AnswersForAThreadNobodyWaitsOn", "FLT_OtherThread", true, "", false},
                    FaultCase{"SendsAnAbsurdLength", "FLT_AbsurdLength", true, "", false},
                    FaultCase{"UsesAForgedToken", "FLT_ForgedToken", false, "forged:[]", true},
                    FaultCase{"PrintsToStandardOutput", "FLT_Stray", false, "still in step", true}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST(ChildFault, ChildThatIgnoresShutdownAndSigtermIsStillEnded) {
    const auto began = Clock::now();
    const ProcessResult run = run_process(fmhost_argv({}, {"eval FLT_Pid", "eval FLT_BecomeStubborn"}));
    const auto elapsed = Clock::now() - began;
    const auto lines = results_of(run.out, 2);
    ASSERT_EQ(lines.size(), 2u) << run.out << run.err;
    ASSERT_TRUE(is_number(lines[0])) << run.out << run.err;
    EXPECT_EQ(lines[1], "stubborn");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_LT(elapsed, bounded_run);
    EXPECT_TRUE(fault_test::process_gone(child_pid_from(lines[0])));
}

// The host dies: by SIGTERM its crash handler ends the child; by SIGKILL
// nothing in the host runs, and the child notices its parent is gone.
class HostDeath : public testing::TestWithParam<int> {};

TEST_P(HostDeath, NoChildSurvivesItsHost) {
    fault_test::HostProcess host(fmhost_argv({}, {}));
    host.send_line("eval FLT_Pid");
    std::optional<std::string> pid_line;
    do {
        pid_line = host.read_line(std::chrono::seconds(30));
    } while (pid_line.has_value() && !is_number(*pid_line));
    ASSERT_TRUE(pid_line.has_value()) << "the plug-in did not start";
    const pid_t child = child_pid_from(*pid_line);
    ASSERT_FALSE(fault_test::process_gone(child));

    host.kill_with(GetParam());
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer queues an asynchronous signal inside itself until the
    // receiving thread leaves the call it waits in; a blank line makes the idle
    // simulator leave its read, and the host's handlers then run as they would.
    if (GetParam() == SIGTERM) host.send_blank_line_if_alive();
#endif
    host.wait();
    EXPECT_TRUE(fault_test::wait_until_gone(child, child_exit_after_host_death))
        << "child " << child << " outlived its host killed by signal " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Signals, HostDeath, testing::Values(SIGTERM, SIGKILL),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "Sigterm" : "Sigkill");
                         });

TEST(ChildLoad, EightHostThreadsGetTheirOwnResults) {
    // Every result must be the one its own thread and call asked for.
    const ProcessResult run = run_process(fmhost_argv({"--threads", "8", "--expect", "t{thread}c{call}"},
                                                      {"bench FLT_Echo(\"t{thread}c{call}\") 10000"}));
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("bench calls=80000 threads=8"));
    EXPECT_THAT(run.out, testing::Not(HasSubstr("mismatches")));
}

}  // namespace
