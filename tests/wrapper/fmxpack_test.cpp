// The packager: the layout it writes and the inputs it refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace wrappertest {
namespace {

std::string expected_layout(const std::string& wrapper, const std::string& bridge, const std::string& jar) {
    return read_file(wrapper) + marker() + read_file(bridge) + read_file(jar);
}

std::vector<std::string> files_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

class FmxpackTest : public ::testing::Test {
protected:
    ProgramResult pack(const std::string& jar, const std::string& wrapper = TEST_WRAPPER_PATH,
                       const std::string& bridge = TEST_BRIDGE_PATH) const {
        return run_program({FMXPACK_PATH, "--jar", jar, "-o", output(), "--wrapper", wrapper, "--bridge", bridge});
    }
    std::string output() const { return dir.file("Plugin.fmx"); }

    TempDir dir;
};

TEST_F(FmxpackTest, WritesWrapperMarkerBridgeAndJarEndToEnd) {
    write_file(output(), "an older plug-in");
    const ProgramResult result = pack(TEST_PLUGIN_JAR);
    ASSERT_EQ(result.exit_code, 0) << result.output;
    EXPECT_EQ(read_file(output()), expected_layout(TEST_WRAPPER_PATH, TEST_BRIDGE_PATH, TEST_PLUGIN_JAR));
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"Plugin.fmx"}) << "a temporary file was left";
}

TEST_F(FmxpackTest, BuildPackagesWithTheSameLayout) {
    EXPECT_EQ(read_file(TEST_PACKAGED_PLUGIN), expected_layout(TEST_WRAPPER_PATH, TEST_BRIDGE_PATH, TEST_PLUGIN_JAR));
}

struct Refusal {
    const char* name;
    std::string jar;
    std::string wrapper;
    std::string bridge;
    std::string named_file;  // the file the message must name
    const char* reason;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const Refusal& c, std::ostream* os) { *os << c.name; }

class FmxpackRefusal : public FmxpackTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(FmxpackRefusal, NamesTheFileAndTheReasonAndLeavesTheOutputAlone) {
    // Inputs made at run time live in the fixture's folder: "@" stands for it.
    const auto resolve = [this](const std::string& path) {
        return path.rfind('@', 0) == 0 ? dir.file(path.substr(1)) : path;
    };
    write_file(dir.file("text.jar"), "this is not an archive\n");
    write_file(dir.file("marked-wrapper.fmx"), read_file(TEST_WRAPPER_PATH) + marker());
    write_file(output(), "an older plug-in");

    const Refusal& refusal = GetParam();
    const ProgramResult result = pack(resolve(refusal.jar), resolve(refusal.wrapper), resolve(refusal.bridge));

    EXPECT_EQ(result.exit_code, 1) << result.output;
    EXPECT_NE(result.output.find(resolve(refusal.named_file) + ": " + refusal.reason), std::string::npos)
        << result.output;
    EXPECT_EQ(read_file(output()), "an older plug-in");
    EXPECT_EQ(files_in(dir.path()).size(), 3u) << "a temporary file was left";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, FmxpackRefusal,
    ::testing::Values(
        Refusal{"JarNotAZip", "@text.jar", TEST_WRAPPER_PATH, TEST_BRIDGE_PATH, "@text.jar", "not a zip archive"},
        Refusal{"JarWithoutManifest", TEST_NO_MANIFEST_JAR, TEST_WRAPPER_PATH, TEST_BRIDGE_PATH,
                TEST_NO_MANIFEST_JAR, "the archive has no manifest"},
        Refusal{"JarWithoutPluginOptions", TEST_NO_OPTIONS_JAR, TEST_WRAPPER_PATH, TEST_BRIDGE_PATH,
                TEST_NO_OPTIONS_JAR, "the manifest has no \"plugin-options\" attribute"},
        Refusal{"WrapperWithMarker", TEST_PLUGIN_JAR, "@marked-wrapper.fmx", TEST_BRIDGE_PATH,
                "@marked-wrapper.fmx", "the wrapper contains the split marker"},
        Refusal{"WrapperNotASharedObject", TEST_PLUGIN_JAR, "@text.jar", TEST_BRIDGE_PATH, "@text.jar",
                "not a shared object"},
        Refusal{"MissingBridge", TEST_PLUGIN_JAR, TEST_WRAPPER_PATH, "@missing.so", "@missing.so", "cannot be read"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

TEST_F(FmxpackTest, UsageErrorsExitWithTwo) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{FMXPACK_PATH}, {FMXPACK_PATH, "-o", output()},
          {FMXPACK_PATH, "--jar", TEST_PLUGIN_JAR, "-o", output(), "--bogus"},
          {FMXPACK_PATH, "--jar", TEST_PLUGIN_JAR, "-o"}}) {
        const ProgramResult result = run_program(arguments);
        EXPECT_EQ(result.exit_code, 2) << result.output;
        EXPECT_NE(result.output.find("usage: fmxpack"), std::string::npos);
    }
    EXPECT_FALSE(file_exists(output()));
}

}  // namespace
}  // namespace wrappertest
