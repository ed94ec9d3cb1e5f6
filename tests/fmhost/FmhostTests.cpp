// The simulator as other tools use it: the real fmhost binary driving the
// test plug-in, observed through its output and exit status.
#include "RunProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using fmhost_test::lines_of;
using fmhost_test::ProcessResult;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::MatchesRegex;

ProcessResult fmhost(std::vector<std::string> options, const std::vector<std::string>& commands,
                     const std::string& input = {}, const std::vector<std::string>& environment = {}) {
    std::vector<std::string> argv{FMHOST_PATH};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(TEST_PLUGIN_PATH);
    argv.insert(argv.end(), commands.begin(), commands.end());
    return fmhost_test::run_process(argv, input, environment);
}

TEST(Fmhost, EvaluatesTheCalculationLanguageWithPluginFunctions) {
    const ProcessResult run = fmhost({}, {
        "eval 1+2*3",
        "eval (1+2)*3",
        "eval \"Plug\" & \"-in \" & 2*21",
        "eval Test_Add(2; 3) * 2",
        "eval test_join(\"a\"; 1; \"c\")",
        "eval Test_Describe(Timestamp(Date(1;2;2020); Time(3;4;5)))",
        "eval Test_Describe(Date(1;1;1))",
        "eval Test_Describe(Container(\"note.txt\"; \"hello\"))",
        "eval Container(\"note.txt\"; \"hello\")",
        "eval \"two\\\\lines\" & Test_Eval(\"Upper(\\\"x\\\")\")",
    });
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_THAT(lines_of(run.out), ElementsAre("7", "9", "Plug-in 42", "10", "a|1|c",
                                               "timestamp day 737426 second 11045", "date day 1",
                                               "container note.txt holding hello", "container note.txt (FNAM 8, FILE 5)",
                                               "two\\\\linesX"));
}

TEST(Fmhost, CalculationErrorsPrintTheHostErrorAndFail) {
    const ProcessResult run = fmhost({}, {
        "eval Test_Add(1)",
        "eval Test_Add(1;2;3)",
        "eval Test_Fail(17)",
        "eval Missing(1)",
        "eval 1 +",
        "eval \"open",
        "eval 1",
    });
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_THAT(lines_of(run.out),
                ElementsAre("error 1201", "error 1202", "error 17", "error 1208", "error 1203", "error 1206", "1"));
}

TEST(Fmhost, AnswersStringsAndListsRegistrations) {
    const ProcessResult run = fmhost({}, {"strings", "functions"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    const auto lines = lines_of(run.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_THAT(std::vector<std::string>(lines.begin(), lines.begin() + 4),
                ElementsAre("128 Test Plugin", "129 Plug-in for the simulator's tests", "131 TEST1nnYnnn", "132 "));
    EXPECT_THAT(lines, testing::Contains("function \"TEST\" 1 \"Test_Add\" 2..2 \"Test_Add( a ; b )\""));
    EXPECT_THAT(lines, testing::Contains("function \"TEST\" 2 \"Test_Join\" 1..* \"Test_Join( text ; ... )\""));
    EXPECT_THAT(lines, testing::Contains(
                           "step \"TEST\" 20 \"Test Step\" \"<PluginStep><Parameter Type=\\\"Calc\\\"/></PluginStep>\""));
}

TEST(Fmhost, TriggersDeclaredScriptsAndReportsMissingOnes) {
    const ProcessResult run = fmhost({"--file", "Main=/tmp/unused.sqlite", "--script", "Do It"},
                                     {"eval Test_Trigger(\"Main\"; \"Do It\"; 7*6)", "eval Test_Trigger(\"Main\"; \"do it\")",
                                      "eval Test_Trigger(\"Main\"; \"Other\"; 1)"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_THAT(lines_of(run.out),
                ElementsAre("started", "triggered script \"Do It\" in file \"Main\" control 3 parameter \"42\"",
                            "started", "triggered script \"do it\" in file \"Main\" control 3 parameter none", "error 104"));
}

TEST(Fmhost, RunsScriptSteps) {
    const ProcessResult run = fmhost({}, {"step Test Step hello  world", "step test step", "step Unknown Step"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_THAT(lines_of(run.out), ElementsAre("step got hello  world", "step got nothing", "error 3"));
}

TEST(Fmhost, PassesInitAndEventCallsToThePlugin) {
    const ProcessResult run = fmhost({"--app-type", "3", "--api-version=55"},
                                     {"idle", "idle 3", "session-end 7", "file-end 8 9", "eval Test_Events"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_THAT(lines_of(run.out),
                ElementsAre("init app 3 api 55 version Host Simulator 21.0; strings 3; idle 2 level 3; session-end 1; "
                            "file-end 1; last session 8 file 9"));
}

TEST(Fmhost, ShutsDownAndLoadsAgain) {
    const ProcessResult run = fmhost({}, {"eval Test_Add(1;1)", "shutdown", "eval Test_Add(1;1)", "idle", "load",
                                          "eval Test_Add(2;2)", "load"});
    EXPECT_EQ(run.exit_code, 1);  // the calls without a plug-in and the second load fail
    EXPECT_THAT(lines_of(run.out), ElementsAre("2", "error 1208", "4"));
    EXPECT_THAT(run.err, HasSubstr("no plug-in is loaded"));
    EXPECT_THAT(run.err, HasSubstr("already loaded"));
}

TEST(Fmhost, ForgetsRegistrationsThatWouldOutliveThePluginsCode) {
    const ProcessResult run =
        fmhost({}, {"shutdown", "eval Test_Add(1;1)", "step Test Step"}, {}, {"FMHOST_TEST_PLUGIN_KEEP_REGISTRATIONS=1"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_THAT(lines_of(run.out), ElementsAre("error 1208", "error 3"));
    EXPECT_THAT(run.err, HasSubstr("left function Test_Add registered at shutdown; withdrawn"));
}

TEST(Fmhost, ReadsCommandsFromStandardInput) {
    const ProcessResult run = fmhost({}, {}, "eval 1+1\n\n# a comment\r\n  eval Test_Add(2;3)\r\nfunctions\n");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    const auto lines = lines_of(run.out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "2");
    EXPECT_EQ(lines[1], "5");
    EXPECT_THAT(lines[2], HasSubstr("Test_Add"));
}

TEST(Fmhost, BenchCallsFromSeveralThreads) {
    const ProcessResult run = fmhost({"--threads", "4"}, {"bench Test_Add(1; 2) * 2 50", "bench Test_Fail(5) 3"});
    EXPECT_EQ(run.exit_code, 1);
    const auto lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_THAT(lines[0], MatchesRegex("bench calls=200 threads=4 calls_per_second=[0-9]+ p50_us=[0-9.]+ p99_us=[0-9.]+"));
    EXPECT_THAT(lines[1], HasSubstr("bench calls=12 "));
    EXPECT_EQ(lines[2], "error 5");
}

TEST(Fmhost, BenchChecksEachResultAgainstItsThreadAndCall) {
    // Each call computes from its own thread and call number; an expectation
    // that misses every call on thread 1 is reported with the first miss.
    const ProcessResult good =
        fmhost({"--threads", "3", "--expect", "{thread}-{call}"}, {"bench {thread} & \"-\" & {call} 20"});
    EXPECT_EQ(good.exit_code, 0) << good.out << good.err;
    EXPECT_THAT(good.out, HasSubstr("bench calls=60 "));
    EXPECT_THAT(good.out, Not(HasSubstr("mismatches")));

    const ProcessResult bad = fmhost({"--threads", "2", "--expect", "{call}"}, {"bench {thread} + {call} 5"});
    EXPECT_EQ(bad.exit_code, 1);
    const auto lines = lines_of(bad.out);
    ASSERT_EQ(lines.size(), 2u) << bad.out;
    EXPECT_THAT(lines[1], MatchesRegex("mismatches=5 first: thread 1 call [0-4]: got \"[1-5]\", expected \"[0-4]\""));
}

struct ExitCase {
    const char* name;
    std::vector<std::string> arguments;  // after the fmhost binary
    std::vector<std::string> environment;
    int exit_code;
    const char* error_text;
};

class FmhostExit : public testing::TestWithParam<ExitCase> {};

TEST_P(FmhostExit, ReportsOutcomeInStatus) {
    const ExitCase& c = GetParam();
    std::vector<std::string> argv{FMHOST_PATH};
    for (const std::string& argument : c.arguments) argv.push_back(argument == "PLUGIN" ? TEST_PLUGIN_PATH : argument);
    const ProcessResult run = fmhost_test::run_process(argv, {}, c.environment);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_THAT(run.err, HasSubstr(c.error_text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FmhostExit,
    testing::Values(
        ExitCase{"AllSucceed", {"PLUGIN", "eval 1", "idle"}, {}, 0, ""},
        ExitCase{"OneFails", {"PLUGIN", "eval 1/0", "eval 2"}, {}, 1, ""},
        ExitCase{"NoPlugin", {}, {}, 2, "no plug-in file given"},
        ExitCase{"UnknownOption", {"--colour", "PLUGIN"}, {}, 2, "unknown option --colour"},
        ExitCase{"BadNumber", {"--threads", "many", "PLUGIN"}, {}, 2, "--threads needs a whole number"},
        ExitCase{"BadFile", {"--file", "nopath", "PLUGIN"}, {}, 2, "--file needs NAME=PATH"},
        ExitCase{"UnknownCommand", {"PLUGIN", "frobnicate"}, {}, 2, "unknown command"},
        ExitCase{"BadBenchCount", {"PLUGIN", "bench 1+1 zero"}, {}, 2, "bench needs"},
        ExitCase{"MissingFile", {"/nonexistent/plugin.fmx", "eval 1"}, {}, 2, "cannot load /nonexistent/plugin.fmx"},
        ExitCase{"NoEntry", {FMWRAPPER_PATH}, {}, 2, "no symbol FMExternCallProc"},
        ExitCase{"NotEnabled", {"PLUGIN", "eval 1"}, {"FMHOST_TEST_PLUGIN_DISABLE=1"}, 2, "not enabled"}),
    [](const testing::TestParamInfo<ExitCase>& info) { return info.param.name; });

}  // namespace
