#include "JvmCommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "JarFixture.h"
#include "TestLogging.h"

using namespace corvane;
using namespace corvane::testing;
using ::testing::ElementsAreArray;

namespace {

const std::string java = "/usr/bin/java";
const std::string jar = "/plugins/Example Plugin.fmx";
const std::string ipv4 = "-Djava.net.preferIPv4Stack=true";
const std::string encoding = "-Dfile.encoding=UTF-8";
const std::string noverify = "-noverify";
const std::string main_class = "com.corvane.ambrix.PipeChild";
const std::string suspended_agent = "-agentlib:jdwp=transport=dt_socket,server=y,suspend=y,address=4414";
const std::string running_agent = "-agentlib:jdwp=transport=dt_socket,server=y,suspend=n,address=4414";
const std::string headless = "-Djava.awt.headless=true";

using Markers = std::map<std::string, std::string>;  // file name to content

struct CommandLineCase {
    const char* name;
    Markers user_markers;
    Markers shared_markers;
    FMX_Application application_type;
    // "{user}" and "{shared}" stand for the two marker folders.
    std::vector<std::string> expected;
    bool debug_mode;
    std::vector<std::string> expected_log;
};

// Test names carry the case; the parameter itself is not printed.
void PrintTo(const CommandLineCase& c, std::ostream* out) { *out << c.name; }

const CommandLineCase command_line_cases[] = {
    {"NoMarkersDesktop", {}, {}, kFMXT_Pro,
     {java, "-Xdiag", "-cp", jar, ipv4, encoding, noverify, "-Xmx256m", main_class}, false,
     {"Setting memory size to default value of 256", "JVM arg 1: /usr/bin/java", "JVM arg 4: " + jar,
      "JVM arg 9: com.corvane.ambrix.PipeChild"}},
    {"HeapDumps", {{"heap_dump", ""}}, {}, kFMXT_Pro,
     {java, "-Xdiag", "-cp", jar, "-XX:+HeapDumpOnOutOfMemoryError", "-XX:HeapDumpPath=/tmp", ipv4, encoding,
      noverify, "-Xmx256m", main_class},
     false, {"Heap dumps enabled"}},
    {"BothDebugMarkersSuspend", {{"suspend_debug", ""}, {"debug", ""}}, {}, kFMXT_Developer,
     {java, "-Xdiag", "-cp", jar, ipv4, encoding, noverify, suspended_agent, "-Xmx256m", main_class}, true, {}},
    {"DebugMarkerRunsAtOnce", {{"debug", ""}}, {}, kFMXT_Runtime,
     {java, "-Xdiag", "-cp", jar, ipv4, encoding, noverify, running_agent, "-Xmx256m", main_class}, true, {}},
    {"MemorySize", {{"memorysize", "1024"}}, {}, kFMXT_Pro,
     {java, "-Xdiag", "-cp", jar, ipv4, encoding, noverify, "-Xmx1024m", main_class}, false,
     {"Setting memory size to user value of 1024"}},
    {"MemorySizeWithBlanks", {{"memorysize", "  512\n"}}, {}, kFMXT_Pro,
     {java, "-Xdiag", "-cp", jar, ipv4, encoding, noverify, "-Xmx512m", main_class}, false,
     {"Setting memory size to user value of 512"}},
    {"MemorySizeWithoutInteger", {{"memorysize", "lots\n"}}, {}, kFMXT_Pro,
     {java, "-Xdiag", "-cp", jar, ipv4, encoding, noverify, "-Xmx256m", main_class}, false,
     {"does not begin with a whole number of megabytes", "Setting memory size to default value of 256"}},
    {"MemorySizeTooLarge", {{"memorysize", "99999999999"}}, {}, kFMXT_Pro,
     {java, "-Xdiag", "-cp", jar, ipv4, encoding, noverify, "-Xmx256m", main_class}, false,
     {"Setting memory size to default value of 256"}},
    {"SharedMemorySize", {}, {{"memorysize", "768"}}, kFMXT_Pro,
     {java, "-Xdiag", "-cp", jar, ipv4, encoding, noverify, "-Xmx768m", main_class}, false,
     {"Setting memory size to system value of 768"}},
    {"LoggingProperties", {{"logging.properties", "a=b\n"}}, {{"logging.properties", ""}}, kFMXT_Pro,
     {java, "-Xdiag", "-cp", jar, ipv4, encoding, noverify,
      "-Djava.util.logging.config.file={user}/logging.properties", "-Xmx256m", main_class},
     false, {"Reading local logging properties from {user}/logging.properties"}},
    {"SharedLoggingProperties", {}, {{"logging.properties", ""}}, kFMXT_Pro,
     {java, "-Xdiag", "-cp", jar, ipv4, encoding, noverify,
      "-Djava.util.logging.config.file={shared}/logging.properties", "-Xmx256m", main_class},
     false, {"Reading shared logging properties from {shared}/logging.properties"}},
    {"ServerHostIsHeadless", {}, {}, kFMXT_Server,
     {java, "-Xdiag", "-cp", jar, ipv4, encoding, noverify, "-Xmx256m", headless, main_class}, false, {}},
    {"EveryMarkerOnServer",
     {{"heap_dump", ""}, {"suspend_debug", ""}, {"debug", ""}, {"memorysize", "2048"}, {"logging.properties", ""}},
     {},
     kFMXT_SASE,
     {java, "-Xdiag", "-cp", jar, "-XX:+HeapDumpOnOutOfMemoryError", "-XX:HeapDumpPath=/tmp", ipv4, encoding,
      noverify, suspended_agent, "-Djava.util.logging.config.file={user}/logging.properties", "-Xmx2048m", headless,
      main_class},
     true, {"JVM arg 14: com.corvane.ambrix.PipeChild"}},
};

void replace_all(std::string& text, const std::string& placeholder, const std::string& value) {
    for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
}

std::string with_folders(std::string text, const std::string& user, const std::string& shared) {
    replace_all(text, "{user}", user);
    replace_all(text, "{shared}", shared);
    return text;
}

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, ArgumentsFollowTheMarkers) {
    const CommandLineCase& c = GetParam();
    const ScopedTestLog log;
    const ScopedTempDir user;
    const ScopedTempDir shared;
    for (const auto& [name, content] : c.user_markers) user.write(name, content);
    for (const auto& [name, content] : c.shared_markers) shared.write(name, content);

    const JvmCommandLine command_line =
        build_jvm_command_line(java, jar, c.application_type, MarkerFolders{user.path, shared.path});

    std::vector<std::string> expected;
    for (const std::string& argument : c.expected) expected.push_back(with_folders(argument, user.path, shared.path));
    EXPECT_THAT(command_line.arguments, ElementsAreArray(expected));
    EXPECT_EQ(command_line.debug_mode, c.debug_mode);
    for (const std::string& line : c.expected_log)
        EXPECT_TRUE(log.contains(with_folders(line, user.path, shared.path))) << line << "\n" << log.contents();
}

INSTANTIATE_TEST_SUITE_P(Markers, CommandLineTest, ::testing::ValuesIn(command_line_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLine, OnlyServerTypeHostsRunHeadless) {
    const ScopedTestLog log;
    const ScopedTempDir markers;
    for (FMX_Application type = 0; type <= 10; ++type) {
        const bool server_type = type == kFMXT_Server || type == kFMXT_Web || type == kFMXT_SASE || type == kFMXT_IWP;
        const JvmCommandLine command_line =
            build_jvm_command_line(java, jar, type, MarkerFolders{markers.path, markers.path});
        const auto& arguments = command_line.arguments;
        ASSERT_GE(arguments.size(), 2u);
        EXPECT_EQ(arguments[arguments.size() - 2] == headless, server_type) << "application type " << int(type);
    }
}

}  // namespace
