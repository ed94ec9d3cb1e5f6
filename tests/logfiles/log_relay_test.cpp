// The relay of the child's standard error over a real pipe: framing into
// statements, bounded statements, the relay thread's log and its ends.
#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "LogTestSupport.h"
#include "exception/TobrinException.h"

namespace corvane {
namespace testing {
namespace {

using namespace std::chrono_literals;

// Nothing here should take this long; a test that waits longer found a hang.
constexpr auto hang_limit = 10s;

std::string unterminated(const std::string& statement) {
    return "Log statement did not end with expected terminator sequence.  Log statement: \n\n\n=================" +
           statement + "\n\n\n===============";
}

// Every statement the bytes make, read until the stream ends.
std::vector<std::string> statements_of(const std::string& bytes, size_t max_statement_bytes = 1 << 20) {
    PipeParent reader;
    reader.max_log_statement_bytes = max_statement_bytes;
    ErrPipe err(reader);
    err.write(bytes);
    err.close_writer();
    std::vector<std::string> statements;
    try {
        for (;;) statements.push_back(reader.get_log_statement(reader.parent_err_fd));
    } catch (const tobrin_exception& e) {
        EXPECT_STREQ(e.what(), "Shutting down java logging thread");
    }
    return statements;
}

struct FramingCase {
    const char* label;
    std::string bytes;
    std::vector<std::string> statements;
};

TEST_F(LogFilesTest, StatementsEndAtTheTwoByteTerminator) {
    using S = std::vector<std::string>;
    const std::vector<FramingCase> cases = {
        {"one statement", "abc\n\v\f", S{"abc\n"}},
        {"empty statement", "\v\f", S{""}},
        {"no line feed before the terminator", "abc\v\f", S{unterminated("abc")}},
        {"several lines, several statements", "one\ntwo\n\v\fthree\n\v\f", S{"one\ntwo\n", "three\n"}},
        {"lone vertical tab stays", "a\vb\n\v\f", S{"a\vb\n"}},
        {"lone form feed stays", "a\fb\n\v\f", S{"a\fb\n"}},
        {"vertical tab doubled before the terminator", "x\n\v\v\f", S{unterminated("x\n\v")}},
        {"form feed first", "\f\v\fz\n\v\f", S{unterminated("\f"), "z\n"}},
        {"braces are not formatted", "{} {0} }{ {:d} %s\n\v\f", S{"{} {0} }{ {:d} %s\n"}},
        {"NUL and high bytes", std::string("a\0b\xff\n\v\f", 7), S{std::string("a\0b\xff\n", 5)}},
        {"unfinished statement at the end is dropped", "done\n\v\fpartial\n", S{"done\n"}},
        {"half a terminator at the end", "done\n\v\fpartial\n\v", S{"done\n"}},
        {"nothing at all", "", S{}},
    };
    for (const FramingCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(statements_of(c.bytes), c.statements);
    }
    EXPECT_TRUE(log.contains("CONFIG: Read zero bytes from log statement\n"));
}

TEST_F(LogFilesTest, OversizedStatementsAreCutIntoPieces) {
    using S = std::vector<std::string>;
    const std::vector<FramingCase> cases = {
        {"cut, then the rest", "0123456789abcdefXYZ\n\v\f", S{unterminated("0123456789abcdef"), "XYZ\n"}},
        {"a piece that ends a line is kept as it is", "0123456789abcde\nXYZ\n\v\f", S{"0123456789abcde\n", "XYZ\n"}},
        {"never between the terminator bytes", "0123456789abcde\v\fnext\n\v\f",
         S{unterminated("0123456789abcde"), "next\n"}},
        {"no terminator ever", std::string(50, 'x'), S(3, unterminated(std::string(16, 'x')))},
    };
    for (const FramingCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(statements_of(c.bytes, 16), c.statements);
    }
    EXPECT_TRUE(log.contains("A log statement of the child exceeded 16 bytes"));
}

TEST_F(LogFilesTest, StatementSplitAcrossWritesIsReadWhole) {
    const std::string bytes = "first line\nsecond\n\v\f";
    // Cut points inside the text, at the line feed and between the
    // terminator bytes.
    for (const size_t cut : {size_t{1}, size_t{11}, bytes.size() - 3, bytes.size() - 2, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        PipeParent reader;
        ErrPipe err(reader);
        auto statement = std::async(std::launch::async, [&reader] { return reader.get_log_statement(reader.parent_err_fd); });
        err.write(bytes.substr(0, cut));
        EXPECT_EQ(statement.wait_for(0s), std::future_status::timeout) << "a statement before its terminator";
        err.write(bytes.substr(cut));
        if (statement.wait_for(hang_limit) != std::future_status::ready) {
            err.close_writer();  // ends the read, so the future can go
            FAIL() << "the statement was not read";
        }
        EXPECT_EQ(statement.get(), "first line\nsecond\n");
    }
}

// The relay thread writing into one log with the bridge's own statements.
class RelayTest : public LogFilesTest {
protected:
    void use_log(Logger::Level level, bool with_java_logger = true) {
        logger = std::make_shared<Logger>(log_path, level);
        parent.configure_cpp_logging("cpp_Abcd", logger);
        if (with_java_logger) parent.configure_java_logging("java_Abcd", logger);
    }
    // The relay ends by itself: joining it must not need a stop.
    void join_relay() {
        ASSERT_TRUE(g_logging_thread);
        g_logging_thread->join();
        parent.terminate_logging_thread();
    }
    std::string relay_log() const { return without_time_stamps(read_file(log_path)); }
    template <typename Condition>
    static bool wait_until(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + hang_limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::yield();
        }
        return true;
    }

    const std::string log_path = scratch / "relay.log";
    std::shared_ptr<Logger> logger;
    ErrPipe err{parent};
};

TEST_F(RelayTest, StatementsLandInTheLogExactlyAsTheChildWroteThem) {
    use_log(Logger::ALL);
    err.write("one {}\n\v\ftwo {0} }{ %s\n\v\fmulti\nline\n\v\f\v\fabc\v\f");
    err.close_writer();

    parent.start_logging_thread();
    join_relay();

    EXPECT_EQ(relay_log(), "INFO: [C++] C++ logging configured at " + log_path +
                               "\nINFO: [C++] Java logging configured at " + log_path +
                               "\nINFO: [C++] Started stderr logging\n"
                               "one {}\ntwo {0} }{ %s\nmulti\nline\n" +
                               unterminated("abc") +
                               "CONFIG: [C++] Read zero bytes from log statement\n"
                               "INFO: [C++] Shutting down java logging thread\n"
                               "INFO: [C++] Finished stderr logging\n");
    EXPECT_EQ(parent.parent_err_fp_ref_ct, 0) << "the stream is closed once the relay is gone";
    EXPECT_FALSE(g_logging_thread);
}

TEST_F(RelayTest, NativeThresholdAboveInfoDropsRelayedStatements) {
    use_log(Logger::SEVERE);
    err.write("relayed\n\v\f");
    err.close_writer();

    parent.start_logging_thread();
    join_relay();

    EXPECT_EQ(read_file(log_path), "");
}

TEST_F(RelayTest, StopEndsTheRelayWhileTheChildKeepsItsStandardErrorOpen) {
    use_log(Logger::INFO);
    err.write("pending\n\v\f");
    parent.start_logging_thread();
    ASSERT_TRUE(wait_until([&] { return relay_log().find("\npending\n") != std::string::npos; }));
    err.write("waiting\n\v\fpartial");

    const auto started = std::chrono::steady_clock::now();
    parent.terminate_logging_thread();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);

    EXPECT_FALSE(g_logging_thread);
    EXPECT_EQ(parent.parent_err_fp_ref_ct, 0);
    const std::string content = relay_log();
    EXPECT_NE(content.find("\nwaiting\n"), std::string::npos) << "what was already written is still relayed";
    EXPECT_EQ(content.find("partial"), std::string::npos);
    const std::string ending = "INFO: [C++] Shutting down java logging thread\nINFO: [C++] Finished stderr logging\n";
    EXPECT_EQ(content.substr(content.size() - std::min(content.size(), ending.size())), ending) << content;
}

TEST_F(RelayTest, StopBeforeTheRelayReadsAnythingEndsItToo) {
    use_log(Logger::INFO);
    parent.start_logging_thread();
    parent.terminate_logging_thread();
    EXPECT_FALSE(g_logging_thread);
    EXPECT_NE(relay_log().find("INFO: [C++] Finished stderr logging\n"), std::string::npos);
    parent.terminate_logging_thread();  // again: nothing to do
}

TEST_F(RelayTest, ReadFailureEndsTheRelayWithAWarning) {
    use_log(Logger::INFO);
    // A descriptor open only for writing: every read fails.
    const UniqueFd write_only(open(log_path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    ASSERT_TRUE(write_only.valid());
    parent.parent_err_fd = write_only.get();

    parent.start_logging_thread();
    join_relay();

    const std::string content = relay_log();
    EXPECT_NE(content.find("WARNING: [C++] Unknown error while logging, will exit: An unknown error occurred while "
                           "reading byte from log statement: Bad file descriptor\n"
                           "INFO: [C++] Finished stderr logging\n"),
              std::string::npos)
        << content;
}

TEST_F(RelayTest, MissingJavaLoggerEndsTheRelayWithoutHarm) {
    use_log(Logger::INFO, false);
    err.write("nowhere to go\n\v\fnever read\n\v\f");

    parent.start_logging_thread();
    join_relay();

    const std::string content = relay_log();
    EXPECT_NE(content.find("WARNING: [C++] Unaccounted for exception while reading log statements: "),
              std::string::npos)
        << content;
    EXPECT_EQ(content.find("nowhere to go"), std::string::npos);
    EXPECT_NE(content.find("INFO: [C++] Finished stderr logging\n"), std::string::npos);
}

TEST_F(RelayTest, RelayWithoutAnyLoggerEndsWithoutTakingTheProcessDown) {
    LogManager::set_default_logger_name(LoggerName("no_logger_here"));
    err.write("x\n\v\f");
    err.close_writer();

    parent.start_logging_thread();
    join_relay();
    LogManager::set_default_logger_name(LoggerName(log.name));
    SUCCEED() << "the relay's errors stayed inside its thread";
}

TEST_F(LogFilesTest, RelayIsNotStartedWithoutTheChildsStandardError) {
    parent.start_logging_thread();
    EXPECT_FALSE(g_logging_thread);
    EXPECT_TRUE(log.contains("WARNING: The child's standard error is not open"));
}

}  // namespace
}  // namespace testing
}  // namespace corvane
