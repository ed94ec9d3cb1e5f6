#include "zip/unzipper.h"

#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <sstream>

#include "JarFixture.h"

using corvane::testing::ScopedTempDir;
using ziputils::unzipper;

namespace {

const char* const manifest_text =
    "Manifest-Version: 1.0\n"
    "Created-By: test (Vendor: Corvane)\n"
    "plugin-name: Zip Fixture\n";
const std::string hello_content = "Hello, archive\n";

class UnzipperTest : public ::testing::Test {
protected:
    void SetUp() override {
        jar = corvane::testing::make_jar(dir, "fixture.jar", manifest_text,
                                         {{"hello.txt", hello_content}, {"empty.txt", ""}});
        ASSERT_FALSE(jar.empty());
        image = corvane::testing::append_to_executable(dir, jar, "image.fmx");
    }

    static std::string copy_entry(unzipper& zip, const char* name) {
        std::ostringstream out;
        EXPECT_TRUE(zip.openEntry(name)) << name;
        zip >> out;
        EXPECT_TRUE(out.good()) << name;
        return out.str();
    }

    ScopedTempDir dir;
    std::string jar;
    std::string image;
};

TEST_F(UnzipperTest, ReadsEntriesWithAndWithoutDataInFront) {
    ASSERT_GT(corvane::testing::read_whole_file(image).size(), corvane::testing::read_whole_file(jar).size());
    for (const auto& path : {jar, image}) {
        SCOPED_TRACE(path);
        unzipper zip;
        ASSERT_TRUE(zip.open(path.c_str()));
        EXPECT_TRUE(zip.isOpen());

        const std::string manifest = copy_entry(zip, "META-INF/MANIFEST.MF");
        EXPECT_EQ(manifest.rfind("Manifest-Version: 1.0\r\n", 0), 0u) << manifest;
        EXPECT_NE(manifest.find("plugin-name: Zip Fixture\r\n"), std::string::npos) << manifest;
        EXPECT_EQ(zip.getEntrySize(), manifest.size());

        EXPECT_EQ(copy_entry(zip, "hello.txt"), hello_content);
        EXPECT_EQ(zip.getEntrySize(), hello_content.size());
        // The entry stays open after a copy.
        EXPECT_TRUE(zip.isOpenEntry());
    }
}

TEST_F(UnzipperTest, EntryLookupAndOpenStateFollowTheCalls) {
    unzipper zip;
    std::ostringstream untouched;
    EXPECT_FALSE(zip.openEntry("hello.txt")) << "no archive open";
    zip >> untouched;
    EXPECT_EQ(untouched.str(), "");
    EXPECT_EQ(zip.getEntrySize(), 0u);
    zip.close();  // closing a closed unzipper does nothing
    EXPECT_FALSE(zip.isOpen());

    ASSERT_TRUE(zip.open(jar.c_str()));
    EXPECT_FALSE(zip.openEntry("HELLO.TXT")) << "names are case-sensitive";

    ASSERT_TRUE(zip.openEntry("hello.txt"));
    EXPECT_FALSE(zip.openEntry("missing.txt"));
    EXPECT_FALSE(zip.isOpenEntry()) << "the first entry is closed before the lookup";

    std::ostringstream empty_copy;
    ASSERT_TRUE(zip.openEntry("empty.txt"));
    EXPECT_EQ(zip.getEntrySize(), 0u);
    zip >> empty_copy;
    EXPECT_EQ(empty_copy.str(), "");
    EXPECT_TRUE(empty_copy.good());

    // Opening again closes the previous archive and its entry.
    ASSERT_TRUE(zip.open(image.c_str()));
    EXPECT_FALSE(zip.isOpenEntry());
    EXPECT_EQ(copy_entry(zip, "hello.txt"), hello_content);

    EXPECT_FALSE(zip.open(dir.file("missing.jar").c_str()));
    EXPECT_FALSE(zip.isOpen());
    EXPECT_FALSE(zip.open(dir.write("plain.txt", "not an archive").c_str()));
    EXPECT_FALSE(zip.open(nullptr));
}

// Writes an archive whose single entry carries the given raw (already
// compressed) bytes but claims another size and checksum.
void write_raw_entry(const std::string& path, int method, const std::string& raw_bytes,
                     uint64_t claimed_size, uLong claimed_crc) {
    zipFile archive = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(archive, nullptr);
    zip_fileinfo info{};
    constexpr int raw = 1;
    constexpr int zip64 = 1;
    ASSERT_EQ(zipOpenNewFileInZip2_64(archive, "entry.bin", &info, nullptr, 0, nullptr, 0, nullptr, method,
                                      Z_DEFAULT_COMPRESSION, raw, zip64),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(archive, raw_bytes.data(), static_cast<unsigned>(raw_bytes.size())), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZipRaw64(archive, claimed_size, claimed_crc), ZIP_OK);
    ASSERT_EQ(zipClose(archive, nullptr), ZIP_OK);
}

TEST(Unzipper, EntriesThatCannotBeCopiedWholeWriteNothingAndFailTheStream) {
    struct Case {
        const char* what;
        int method;
        std::string raw_bytes;
        uint64_t claimed_size;
        uLong claimed_crc;
        unsigned int reported_size;
    };
    const Case cases[] = {
        // An empty deflate stream claiming 5 GiB: neither its low 32 bits nor
        // the format's 0xFFFFFFFF marker may pass for its size.
        {"size beyond 32 bits", Z_DEFLATED, std::string("\x03\x00", 2), 5ull << 30, 0, 0},
        {"checksum mismatch", 0, "hello", 5, 0x12345678, 5},
    };
    ScopedTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.file("raw.zip");
        write_raw_entry(path, c.method, c.raw_bytes, c.claimed_size, c.claimed_crc);

        unzipper zip;
        ASSERT_TRUE(zip.open(path.c_str()));
        ASSERT_TRUE(zip.openEntry("entry.bin"));
        EXPECT_EQ(zip.getEntrySize(), c.reported_size);
        std::ostringstream out;
        zip >> out;
        EXPECT_TRUE(out.fail());
        EXPECT_EQ(out.str(), "");
    }
}

}  // namespace
