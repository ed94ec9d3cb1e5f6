// The packaged plug-ins in the host simulator, as a host runs them: every
// kind of value, concurrent calls with callbacks, two loads in one process,
// and the two host API versions that change the protocol.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EndToEnd.h"

namespace endtoend {
namespace {

class FmhostTest : public ::testing::Test {
protected:
    ProgramResult run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), FMHOST_PATH);
        ProgramResult result = run_with_home(arguments, home.path());
        remove_files(extracted_bridges_in(result.out));
        return result;
    }
    // An empty file is an empty SQLite database.
    std::string empty_database() const {
        const std::string path = home.file("shop.sqlite");
        write_file(path, "");
        return path;
    }

    ScratchDir home;
};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// What the simulator printed for its commands, without the diagnostics the
// wrapper and the bridge print while they load.
std::vector<std::string> transcript(const std::string& out) {
    std::vector<std::string> kept;
    for (const auto& line : lines_of(out)) {
        if (starts_with(line, "Plugin path location: ") || starts_with(line, "size of passthrough: ") ||
            starts_with(line, "Splitting out plugin") || starts_with(line, "do_function ptr@"))
            continue;
        kept.push_back(line);
    }
    return kept;
}

struct Exchange {
    std::string command;
    std::vector<std::string> output;
};

TEST_F(FmhostTest, ExamplePluginAnswersEveryKindOfCallAcrossTwoLoads) {
    const std::vector<Exchange> session = {
        {"strings", {"128 Ambrix Example",
                     "129 An example of a plug-in written in Java: text, numbers, times, containers, styles, SQL, "
                     "scripts and errors.",
                     "131 XMPL1nnYnnn", "132 "}},
        {"eval XMPL_Version", {"Ambrix Example on Host Simulator 21.0"}},
        {"eval XMPL_Upper(\"héllo wörld\")", {"HÉLLO WÖRLD"}},
        {"eval XMPL_Sum(1.5; 2; 3.25)", {"6.75"}},
        {"eval XMPL_Power(2; 10)", {"1024"}},
        {"eval XMPL_AddDays(Timestamp(Date(1; 31; 2024); Time(12; 30; 0)); 1)", {"2/1/2024 12:30:00 PM"}},
        {"eval XMPL_DescribeContainer(XMPL_MakeFile(\"notes.txt\"; \"hello\"))",
         {"notes.txt\\rFNAM 9 bytes\\rFILE 5 bytes"}},
        {"eval XMPL_MakeFile(\"big.txt\"; \"0123456789\"; 1000)", {"container big.txt (FNAM 7, FILE 10000)"}},
        {"eval XMPL_Query(\"CREATE TABLE items (name TEXT, price REAL)\")", {""}},
        {"eval XMPL_Query(\"INSERT INTO items VALUES (?, ?)\"; \"tea\"; 3.5)", {""}},
        {"eval XMPL_Query(\"INSERT INTO items VALUES (?, ?)\"; \"coffee\"; 4)", {""}},
        {"eval XMPL_Query(\"SELECT name, price FROM items ORDER BY price\")", {"tea\t3.5\\rcoffee\t4"}},
        {"eval XMPL_QueryText(\"SELECT name FROM items WHERE price > ?\"; 3.7)", {"coffee"}},
        {"eval XMPL_Evaluate(\"Upper(\\\"abc\\\") & Length(\\\"four\\\")\")", {"ABC4"}},
        {"eval XMPL_RunScript(\"Shop\"; \"Greet\"; \"x\")",
         {"1", "triggered script \"Greet\" in file \"Shop\" control 3 parameter \"x\""}},
        {"eval XMPL_Fail(5)", {"error 5"}},
        {"eval XMPL_Query(\"SELECT nothing FROM nowhere\")", {"error 8310"}},
        {"shutdown", {}},
        {"load", {}},
        {"eval XMPL_Upper(\"again\")", {"AGAIN"}},
        {"step XMPL Log Message written by a script step", {""}},
    };
    std::vector<std::string> arguments = {"--file", "Shop=" + empty_database(), "--script", "Greet", EXAMPLE_PLUGIN};
    std::vector<std::string> expected;
    for (const auto& exchange : session) {
        arguments.push_back(exchange.command);
        expected.insert(expected.end(), exchange.output.begin(), exchange.output.end());
    }
    const ProgramResult result = run(arguments);

    EXPECT_EQ(result.exit_code, 1) << "the failing calls count\n" << result.err;
    EXPECT_EQ(transcript(result.out), expected) << result.out;
    // Functions still registered at unload would be withdrawn by the simulator, with a warning.
    EXPECT_EQ(result.err.find("withdraw"), std::string::npos) << result.err;

    // The second load rewrote the log.
    const std::string log = read_file(desktop_log_path(home.path(), "Ambrix Example"));
    EXPECT_NE(log.find("XMPL Log Message: written by a script step"), std::string::npos) << log;
}

TEST_F(FmhostTest, ConcurrentCallsWithCallbacksFromManyHostThreadsEachGetTheirOwnAnswer) {
    const ProgramResult result = run({"--file", "Shop=" + empty_database(), "--threads", "4", "--expect",
                                      "T{thread}C{call}", EXAMPLE_PLUGIN,
                                      // parameter and result callbacks
                                      "bench XMPL_Upper(\"t{thread}c{call}\") 40",
                                      // a calculation of the host inside the call
                                      "bench XMPL_Evaluate(\"Upper(\\\"t{thread}c{call}\\\")\") 40",
                                      // SQL of the host inside the call
                                      "bench XMPL_QueryText(\"SELECT upper(?)\"; \"t{thread}c{call}\") 40"});
    EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
    const auto lines = transcript(result.out);
    ASSERT_EQ(lines.size(), 3u) << result.out;
    for (const auto& line : lines) EXPECT_TRUE(starts_with(line, "bench calls=160 threads=4 ")) << line;
}

TEST_F(FmhostTest, BothHostApiVersionsRegisterAndCallTheFunctions) {
    const struct {
        const char* api_version;
        const char* ids;  // a version above 55 takes them from the call's environment
    } versions[] = {{"55", "session 0 file 0"}, {"56", "session 0 file 1"}};
    for (const auto& version : versions) {
        SCOPED_TRACE(version.api_version);
        const ProgramResult result = run({"--api-version", version.api_version, "--file", "Shop=" + empty_database(),
                                          PROBE_PLUGIN, "functions", "eval LFCY_Ids", "eval LFCY_Echo(\"echo\")"});
        EXPECT_EQ(result.exit_code, 0) << result.err;
        const std::vector<std::string> expected = {
            "function \"LFCY\" 1 \"LFCY_ChildPid\" 0..0 \"LFCY_ChildPid\"",
            "function \"LFCY\" 2 \"LFCY_Ids\" 0..0 \"LFCY_Ids\"",
            "function \"LFCY\" 3 \"LFCY_Echo\" 1..1 \"LFCY_Echo ( text )\"",
            "step \"LFCY\" 100 \"LFCY Note\" \"<Step><Parameter type=\\\"calculation\\\" label=\\\"Note\\\"/></Step>\"",
            version.ids,
            "echo",
        };
        EXPECT_EQ(transcript(result.out), expected) << result.out;
    }
}

}  // namespace
}  // namespace endtoend
