// The splitter: finding the marker, copying the bridge out, replacing the
// output file.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <exception>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <typeinfo>

#include "ExclusiveOutput.h"
#include "TestSupport.h"
#include "WrapperPlugin.h"

namespace wrappertest {
namespace {

using corvane::WrapperPlugin;

mode_t current_umask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

mode_t mode_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

class SplitterTest : public ::testing::Test {
protected:
    std::string container_path() const { return dir.file("container.fmx"); }
    std::string output_path() const { return dir.file("actualPlugin.fmx"); }

    void split(const std::string& container) const {
        write_file(container_path(), container);
        WrapperPlugin().splitFilesApart(container_path(), output_path());
    }

    TempDir dir;
};

struct SplitCase {
    const char* name;
    std::string container;
    std::optional<std::string> payload;  // none: the marker is not found
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitCases : public SplitterTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(SplitCases, CopiesWhatFollowsTheFirstMarkerPastTheFirst100Bytes) {
    const SplitCase& c = GetParam();
    if (c.payload) {
        split(c.container);
        EXPECT_EQ(read_file(output_path()), *c.payload);
    } else {
        try {
            split(c.container);
            FAIL() << "the marker was found";
        } catch (const std::logic_error& error) {
            EXPECT_STREQ(error.what(), "exceeded our size limit");
        }
    }
}

const std::string binary_tail("\x7f" "ELF\0\xff\x01\n\r" "PK\x05\x06", 14);

INSTANTIATE_TEST_SUITE_P(
    Containers, SplitCases,
    ::testing::Values(
        SplitCase{"MarkerEndingAtByte100IsIgnored", filler(78) + marker() + "payload", std::nullopt},
        SplitCase{"MarkerEndingAtByte101IsFound", filler(79) + marker() + "payload", std::string("payload")},
        SplitCase{"NoMarker", filler(4096), std::nullopt},
        SplitCase{"EarlyMarkerIsSkippedForALaterOne", filler(10) + marker() + filler(200) + marker() + "tail",
                  std::string("tail")},
        SplitCase{"PartialMarkerThenOtherBytes",
                  filler(200) + marker().substr(0, 21) + "x" + filler(5) + marker() + "tail",
                  std::string("tail")},
        SplitCase{"PartialMarkerRunningIntoTheFullOne", filler(200) + marker().substr(0, 12) + marker() + "tail",
                  std::string("tail")},
        SplitCase{"MarkersInThePayloadAreKept", filler(200) + marker() + "a" + marker() + "b",
                  "a" + marker() + "b"},
        SplitCase{"BinaryPayloadIsCopiedByteForByte", filler(200) + marker() + binary_tail, binary_tail}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return info.param.name; });

TEST_F(SplitterTest, BuiltWrapperHasNoMarker) {
    EXPECT_EQ(read_file(TEST_WRAPPER_PATH).find(marker()), std::string::npos);
    try {
        WrapperPlugin().splitFilesApart(TEST_WRAPPER_PATH, output_path());
        FAIL() << "a marker was found in the wrapper";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "exceeded our size limit");
    }
}

TEST_F(SplitterTest, EmptyPayloadFailsAndLeavesAnEmptyOutput) {
    try {
        split(filler(200) + marker());
        FAIL() << "an empty payload was accepted";
    } catch (const std::exception& error) {
        EXPECT_EQ(typeid(error), typeid(std::exception));
    }
    EXPECT_EQ(read_file(output_path()), "");
}

TEST_F(SplitterTest, ExistingOutputIsReplacedWithDefaultPermissions) {
    write_file(output_path(), filler(1000));
    ASSERT_EQ(chmod(output_path().c_str(), 0600), 0);

    split(filler(200) + marker() + "short");

    EXPECT_EQ(read_file(output_path()), "short");
    EXPECT_EQ(mode_of(output_path()), 0666 & ~current_umask());
}

TEST_F(SplitterTest, MissingContainerFailsWithoutTouchingTheOutput) {
    write_file(output_path(), "untouched");
    EXPECT_THROW(WrapperPlugin().splitFilesApart(dir.file("missing.fmx"), output_path()), std::exception);
    EXPECT_EQ(read_file(output_path()), "untouched");
}

TEST_F(SplitterTest, ExtractedBridgeLoadsAsSharedObjectAndReadsAsZip) {
    const std::string tail = read_file(TEST_BRIDGE_PATH) + read_file(TEST_PLUGIN_JAR);
    split(filler(300) + marker() + tail);
    ASSERT_EQ(read_file(output_path()), tail);

    void* library = dlopen(output_path().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_NE(dlsym(library, "WrapperFMExternCallProc"), nullptr);
    dlclose(library);

    unzFile archive = unzOpen64(output_path().c_str());
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(unzLocateFile(archive, "META-INF/MANIFEST.MF", 1), UNZ_OK);
    unzClose(archive);
}

TEST_F(SplitterTest, FindsTheFileOfTheEntryPoint) {
    void* library = dlopen(TEST_BRIDGE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    FMX_ExternCallStruct block{};
    block.entryPoint = reinterpret_cast<FMX_ExternCallProc>(dlsym(library, "WrapperFMExternCallProc"));
    FMX_ExternCallPtr pb = &block;

    EXPECT_EQ(WrapperPlugin().getFilePathForCurrentLibrary(pb), TEST_BRIDGE_PATH);
    dlclose(library);

    block.entryPoint = nullptr;
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(WrapperPlugin().getFilePathForCurrentLibrary(pb), std::exception);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("An error occurred retrieving a path to the plug-in"),
              std::string::npos);
}

// The output is made in the world-writable /tmp: whatever appears at its name
// after the old file was removed must not be written through.
TEST(ExclusiveOutputTest, RefusesAnythingAlreadyAtThePath) {
    TempDir dir;
    const std::string target = dir.file("target");
    write_file(target, "victim");
    const std::string link = dir.file("link");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    const std::string dangling = dir.file("dangling");
    ASSERT_EQ(symlink(dir.file("nowhere").c_str(), dangling.c_str()), 0);

    for (const std::string& path : {target, link, dangling}) {
        errno = 0;
        EXPECT_FALSE(corvane::create_exclusive_output(path)) << path;
        EXPECT_EQ(errno, EEXIST) << path;
    }
    EXPECT_EQ(read_file(target), "victim");
    EXPECT_FALSE(file_exists(dir.file("nowhere")));
}

TEST(ExclusiveOutputTest, CloseReportsBytesThatCouldNotBeWritten) {
    corvane::OutputFile full(std::fopen("/dev/full", "wb"));
    ASSERT_TRUE(full);
    ASSERT_NE(std::fputc('x', full.get()), EOF);  // buffered: the failure shows at close
    EXPECT_FALSE(corvane::close_output(std::move(full)));

    TempDir dir;
    corvane::OutputFile file = corvane::create_exclusive_output(dir.file("new"));
    ASSERT_TRUE(file);
    ASSERT_NE(std::fputc('x', file.get()), EOF);
    EXPECT_TRUE(corvane::close_output(std::move(file)));
    EXPECT_EQ(read_file(dir.file("new")), "x");
}

}  // namespace
}  // namespace wrappertest
