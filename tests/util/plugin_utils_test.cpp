#include "util/lin/PluginUtils.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>

#include "JarFixture.h"
#include "exception/TobrinException.h"
#include "zip/unzipper.h"

using namespace corvane;
using corvane::testing::ScopedTempDir;

namespace {

using Attributes = std::map<std::string, std::string>;

// Gives the test an unset registry and puts the previous value back.
class ScopedRegistry {
public:
    ScopedRegistry() {
        if (const char* value = getenv(name())) saved = value;
        unsetenv(name());
    }
    ~ScopedRegistry() {
        if (saved) setenv(name(), saved->c_str(), 1);
        else unsetenv(name());
    }
    static const char* name() { return PluginUtils::loaded_plugins_variable.c_str(); }
    static std::string value() {
        const char* v = getenv(name());
        return v ? v : "";
    }

private:
    std::optional<std::string> saved;
};

std::vector<std::string> sorted(std::vector<std::string> pieces) {
    std::sort(pieces.begin(), pieces.end());
    return pieces;
}

TEST(PluginRegistry, LoadingRegistersEachCodeOnce) {
    ScopedRegistry registry;
    EXPECT_EQ(ScopedRegistry::name(), std::string("CORVANE_LOADED_PLUGINS"));
    EXPECT_TRUE(PluginUtils::get_plugins().empty());
    EXPECT_FALSE(PluginUtils::has_plugin("ABCD"));

    PluginUtils::load_plugin("ABCD");
    EXPECT_EQ(ScopedRegistry::value(), "ABCD");
    PluginUtils::load_plugin("ABCD");
    EXPECT_EQ(ScopedRegistry::value(), "ABCD");

    PluginUtils::load_plugin("WXYZ");
    PluginUtils::load_plugin("ABCD");
    EXPECT_EQ(sorted(PluginUtils::get_plugins()), (std::vector<std::string>{"ABCD", "WXYZ"}));
    EXPECT_TRUE(PluginUtils::has_plugin("ABCD"));
    EXPECT_TRUE(PluginUtils::has_plugin("WXYZ"));
    EXPECT_FALSE(PluginUtils::has_plugin("ABC")) << "only whole codes match";
}

TEST(PluginRegistry, UnloadingRemovesOnlyThatCode) {
    ScopedRegistry registry;
    setenv(ScopedRegistry::name(), "ABCD:WXYZ", 1);

    PluginUtils::unload_plugin("ABCD");
    EXPECT_EQ(ScopedRegistry::value(), ":WXYZ");
    EXPECT_EQ(PluginUtils::get_plugins(), (std::vector<std::string>{"", "WXYZ"}));
    EXPECT_FALSE(PluginUtils::has_plugin("ABCD"));
    EXPECT_TRUE(PluginUtils::has_plugin("WXYZ"));

    // A leftover empty piece is carried along without matching anything.
    PluginUtils::load_plugin("QRST");
    EXPECT_TRUE(PluginUtils::has_plugin("QRST"));
    EXPECT_TRUE(PluginUtils::has_plugin("WXYZ"));
    EXPECT_FALSE(PluginUtils::has_plugin("ABCD"));

    PluginUtils::unload_plugin("WXYZ");
    PluginUtils::unload_plugin("QRST");
    EXPECT_FALSE(PluginUtils::has_plugin("WXYZ"));
    EXPECT_FALSE(PluginUtils::has_plugin("QRST"));
    for (const auto& piece : PluginUtils::get_plugins()) EXPECT_EQ(piece, "");

    setenv(ScopedRegistry::name(), "ABCD:WXYZ", 1);
    PluginUtils::unload_plugin("WXYZ");
    EXPECT_EQ(ScopedRegistry::value(), "ABCD");
}

// 150 characters: the jar tool folds it into a line of 72 bytes and
// continuation lines of 71 bytes after their space.
const std::string long_help = [] {
    std::string help;
    for (int i = 0; help.size() < 150; ++i) help += "help-" + std::to_string(i) + " ";
    return help.substr(0, 150);
}();

class PluginManifestTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string manifest = "Manifest-Version: 1.0\n"
                                     "Created-By: 17.0.2 (Vendor: Example: Inc)\n"
                                     "plugin-help: " + long_help + "\n"
                                     "plugin-name: Manifest Fixture\n"
                                     "plugin-options: MNFT1YnnYYnn\n"
                                     "\n"
                                     "Name: hello.txt\n"
                                     "plugin-late: ignored\n";
        jar = corvane::testing::make_jar(dir, "fixture.jar", manifest, {{"hello.txt", "hello\n"}});
        ASSERT_FALSE(jar.empty());
    }

    static std::string raw_manifest(const std::string& path) {
        ziputils::unzipper zip;
        std::ostringstream out;
        if (zip.open(path.c_str()) && zip.openEntry("META-INF/MANIFEST.MF")) zip >> out;
        return out.str();
    }

    ScopedTempDir dir;
    std::string jar;
};

TEST_F(PluginManifestTest, ReadsTheMainSectionOfAJarFromTheJdkTool) {
    // The fixture must hold a line with the full 72 bytes of content.
    std::istringstream lines(raw_manifest(jar));
    std::string line;
    size_t longest = 0;
    while (std::getline(lines, line)) longest = std::max(longest, line.size());
    ASSERT_GE(longest, 72u + 1u) << "72 bytes and the carriage return";

    const Attributes expected{
        {"Manifest-Version", "1.0"},
        {"Created-By", "17.0.2 (Vendor: Example: Inc)"},
        {"plugin-help", long_help},
        {"plugin-name", "Manifest Fixture"},
        {"plugin-options", "MNFT1YnnYYnn"},
    };
    const std::string image = corvane::testing::append_to_executable(dir, jar, "bridge.fmx");
    EXPECT_EQ(PluginUtils::get_manifest_attributes(jar), expected);
    EXPECT_EQ(PluginUtils::get_manifest_attributes(image), expected) << "archive behind an executable";
}

TEST_F(PluginManifestTest, MissingArchiveOrManifestGivesNoAttributes) {
    const std::string without_manifest =
        corvane::testing::make_jar(dir, "bare.jar", "", {{"other.txt", "Main-Class: x\r\n"}});
    ASSERT_FALSE(without_manifest.empty());
    for (const auto& path : {dir.file("missing.jar"), dir.write("plain.txt", "plugin-name: x\r\n"), without_manifest})
        EXPECT_TRUE(PluginUtils::get_manifest_attributes(path).empty()) << path;
}

TEST(PluginManifest, ParsingRules) {
    const std::string long_value(300, 'v');
    struct Case {
        const char* what;
        std::string text;
        Attributes expected;
    };
    const Case cases[] = {
        {"lines ending in a bare line feed are skipped", "A: 1\nB: 2\n", {}},
        {"a bare line feed line does not stop the parse", "A: 1\nB: 2\r\n", {{"B", "2"}}},
        {"value keeps every colon after the first", "Created-By: 1.8 (X: Y)\r\n", {{"Created-By", "1.8 (X: Y)"}}},
        {"continuation joins without space or carriage return", "A: x\r\n y\r\n z\r\nB: 2\r\n",
         {{"A", "xyz"}, {"B", "2"}}},
        {"the empty line ends the main section", "A: 1\r\n\r\nName: x\r\nB: 2\r\n", {{"A", "1"}}},
        {"a line under three bytes ends the parse", "A: 1\r\nx\nB: 2\r\n", {{"A", "1"}}},
        {"lines of any length are read whole", "A: " + long_value + "\r\nB: 2\r\n", {{"A", long_value}, {"B", "2"}}},
        {"a later value replaces an earlier one", "A: 1\r\nA: 2\r\n", {{"A", "2"}}},
        {"names are case-sensitive", "a: 1\r\nA: 2\r\n", {{"a", "1"}, {"A", "2"}}},
        {"the value's first character goes, whatever it is", "A:x1\r\n", {{"A", "1"}}},
        {"nothing after the colon gives an empty value", "A:\r\nB: \r\n", {{"A", ""}, {"B", ""}}},
        {"a line without a colon is skipped with its continuations", "A: 1\r\nnocolon\r\n more\r\nB: 2\r\n",
         {{"A", "1"}, {"B", "2"}}},
        {"a continuation with nothing to continue is skipped", " lost\r\nA: 1\r\n", {{"A", "1"}}},
        {"empty text", "", {}},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        EXPECT_EQ(PluginUtils::parse_manifest(in), c.expected) << c.what;
    }
}

int function_in_this_executable() { return 42; }

TEST(PluginResourcePaths, NameTheFileOfTheModuleHoldingTheAddress) {
    std::string resource_path = "unchanged";
    std::string jar_path = "unchanged";
    PluginUtils::set_plugin_resource_paths(reinterpret_cast<uint64_t>(&function_in_this_executable), resource_path,
                                           jar_path);
    EXPECT_EQ(jar_path, resource_path);
    EXPECT_TRUE(std::filesystem::equivalent(resource_path, "/proc/self/exe")) << resource_path;

    try {
        PluginUtils::set_plugin_resource_paths(0, resource_path, jar_path);
        ADD_FAILURE() << "no exception for an address outside every module";
    } catch (const tobrin_exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("An error occurred retrieving a path to the plug-in", 0), 0u)
            << e.what();
    }
}

}  // namespace
