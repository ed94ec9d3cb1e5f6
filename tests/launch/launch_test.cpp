#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "JarFixture.h"
#include "LaunchSupport.h"
#include "PipeParent.h"
#include "TestLogging.h"

using namespace corvane;
using namespace corvane::testing;
using namespace std::chrono_literals;

namespace {

// The two length bytes are not stripped: they stay in front of the token.
const std::string stdout_launch_line = "JVM stdout launch message: " + std::string("\0\7IMALIVE", 9) + "\n";

// The statement that begins with prefix, up to the next statement of the log
// (the standard error's statement spans the loader's trace lines).
std::string statement(const std::string& log, const std::string& prefix) {
    const size_t start = log.find(prefix);
    if (start == std::string::npos) return "";
    size_t end = std::string::npos;
    for (const char* level : {"\nSEVERE: ", "\nWARNING: ", "\nINFO: ", "\nCONFIG: ", "\nFINE: "})
        end = std::min(end, log.find(level, start));
    std::string text = log.substr(start, end == std::string::npos ? std::string::npos : end - start);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// A bridge object whose markers and PID records live in scratch folders.
class LaunchTest : public ::testing::Test {
protected:
    LaunchTest() {
        parent.marker_dir = markers.path;
        parent.orphan_pid_folder = pids.path;
    }
    ~LaunchTest() override { ProcessUtils::exit_process(parent.get_child_process_id()); }

    void launch(const std::string& mode, const std::string& runtime = STUB_CHILD_PATH) {
        parent.launch_plugin_process("Test Plugin", "Tst1", mode, "/resources", markers.path, runtime, false,
                                     FMInitParams{});
    }
    std::string expected_pid_record() const {
        return pids.path + "/Tst1/" + std::to_string(getpid()) + "/" + std::to_string(parent.get_child_process_id()) +
               ".pid";
    }
    void expect_streams_open(bool open) const {
        const int expected_count = open ? 1 : 0;
        EXPECT_EQ(parent.parent_read_fp_ref_ct, expected_count);
        EXPECT_EQ(parent.parent_write_fp_ref_ct, expected_count);
        EXPECT_EQ(parent.parent_err_fp_ref_ct, expected_count);
        EXPECT_EQ(parent.parent_read_fp != nullptr, open);
        EXPECT_EQ(parent.parent_write_fp != nullptr, open);
        EXPECT_EQ(parent.parent_err_fp != nullptr, open);
    }

    ScopedTestLog log;
    ScopedTempDir markers;
    ScopedTempDir pids;
    RestoreSignalHandlers restore_handlers;
    PipeParent parent;
};

struct HandshakeCase {
    const char* name;
    const char* mode;      // of the stand-in child
    const char* runtime;   // null: the stand-in child
    std::chrono::milliseconds first_byte_timeout;
    std::chrono::milliseconds startup_timeout;
    bool alive;
    std::vector<std::string> expected_log;
};

// Test names carry the case; the parameter itself is not printed.
void PrintTo(const HandshakeCase& c, std::ostream* out) { *out << c.name; }

const HandshakeCase handshake_cases[] = {
    {"TokenOnBothStreams", "token", nullptr, 10s, 10s, true,
     {"Child signal handler registered successfully", "Child process created at ",
      "Waiting for JVM startup for 10 seconds", stdout_launch_line, "JVM stderr message: ",
      "Creating PID file at "}},
    // Alive once the standard error's wait is over: the loader's trace came,
    // the token never does.
    {"TokenOnStandardOutputOnly", "stdout-only", nullptr, 10s, 1s, true,
     {stdout_launch_line, "JVM stderr message: "}},
    {"ChildExitsAtOnce", "exit", nullptr, 10s, 10s, false,
     {"Could not read from stdout", "Could not read from stderr"}},
    {"RuntimeMissing", "token", "/nonexistent/bin/java", 10s, 10s, false,
     {"Could not read from stdout", "Could not read from stderr"}},
    {"ChildNeverWrites", "silent", nullptr, 300ms, 1s, false, {"Unable to read from stdout on JVM startup after"}},
    // The first bytes come, the token never does, the streams stay open: the
    // readers are released when the waits are over.
    {"ChildChattersWithoutToken", "chatter", nullptr, 10s, 1s, false,
     {"Unable to read from stdout on JVM startup after 1 seconds", "hello"}},
};

class HandshakeTest : public LaunchTest, public ::testing::WithParamInterface<HandshakeCase> {};

TEST_P(HandshakeTest, OutcomeFollowsTheChildsStreams) {
    const HandshakeCase& c = GetParam();
    parent.startup_first_byte_timeout = c.first_byte_timeout;
    parent.startup_timeout = c.startup_timeout;

    const auto start = std::chrono::steady_clock::now();
    launch(c.mode, c.runtime ? c.runtime : STUB_CHILD_PATH);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(parent.is_alive(), c.alive);
    EXPECT_LT(elapsed, 2 * c.startup_timeout + 5s) << "the launch must not hang on the child";
    for (const std::string& line : c.expected_log) EXPECT_TRUE(log.contains(line)) << line << "\n" << log.contents();
    expect_streams_open(c.alive);
    if (c.alive) {
        EXPECT_EQ(parent.pid_file_path, expected_pid_record());
        EXPECT_TRUE(FileUtils::file_exists(parent.pid_file_path));
    } else {
        EXPECT_EQ(parent.pid_file_path, "");
        EXPECT_FALSE(FileUtils::file_exists(pids.path + "/Tst1"));
    }
}

INSTANTIATE_TEST_SUITE_P(Children, HandshakeTest, ::testing::ValuesIn(handshake_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LaunchTest, BytesAfterTheTokenAreLeftForTheProtocolAndTheRelay) {
    launch("token-then-data");
    ASSERT_TRUE(parent.is_alive()) << log.contents();

    char protocol[5] = {};
    ASSERT_EQ(std::fread(protocol, 1, sizeof protocol, parent.parent_read_fp), sizeof protocol);
    EXPECT_EQ(std::string(protocol, sizeof protocol), std::string("\0\3abc", 5));
    char line[64] = {};
    ASSERT_NE(std::fgets(line, sizeof line, parent.parent_err_fp), nullptr);
    EXPECT_STREQ(line, "after the token\n");
    EXPECT_FALSE(log.contains("after the token"));
    EXPECT_THAT(statement(log.contents(), "JVM stderr message: "), ::testing::EndsWith("IMALIVE"));
}

TEST_F(LaunchTest, ArgumentsAndChoicesAreStoredOnTheObject) {
    markers.write("debug", "");
    launch("token");
    EXPECT_TRUE(parent.is_alive());
    EXPECT_TRUE(parent.debug_mode);
    EXPECT_EQ(parent.plugin_name, "Test Plugin");
    EXPECT_EQ(parent.get_quad_char(), "Tst1");
    EXPECT_EQ(parent.plugin_jar_path, "token");
    EXPECT_EQ(parent.java_bin_path, STUB_CHILD_PATH);
    EXPECT_GT(parent.get_child_process_id(), 0);
    EXPECT_EQ(watched_child_process(), parent.get_child_process_id());
    EXPECT_TRUE(log.contains("JVM arg 8: -agentlib:jdwp=transport=dt_socket,server=y,suspend=n,address=4414"));
}

// The real runtime and child, with the archive behind other bytes as in the
// shipped plug-in file.
TEST_F(LaunchTest, JavaChildAnnouncesItself) {
    const std::string plugin_file = append_to_executable(markers, EXAMPLE_JAR_PATH, "Example.fmx");
    parent.launch_plugin_process("Example", "Exmp", plugin_file, plugin_file, markers.path, "/usr/bin/java", false,
                                 FMInitParams{});

    EXPECT_TRUE(parent.is_alive()) << log.contents();
    EXPECT_TRUE(log.contains(stdout_launch_line)) << log.contents();
    EXPECT_THAT(statement(log.contents(), "JVM stderr message: "), ::testing::EndsWith("IMALIVE"));
    EXPECT_TRUE(FileUtils::file_exists(parent.pid_file_path));
}

}  // namespace
