#include "util/lin/FileUtils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestLogging.h"
#include "exception/TobrinException.h"
#include "util/lin/UserDatabase.h"

using namespace corvane;
using ::testing::MatchesRegex;

namespace fs = std::filesystem;

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

mode_t permissions_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

mode_t current_umask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// A fresh folder under /tmp for each test, removed with everything in it.
class FileUtilsTest : public ::testing::Test {
protected:
    FileUtilsTest() {
        char name[] = "/tmp/file_utils_test_XXXXXX";
        EXPECT_NE(mkdtemp(name), nullptr);
        dir = name;
    }
    ~FileUtilsTest() override { fs::remove_all(dir); }

    std::string dir;
    corvane::testing::ScopedTestLog log;
};

// --- joining and temporary files --------------------------------------------

TEST(FileUtilsPaths, CreatePathJoinsWithOneSeparatorAndDropsTrailingOnes) {
    const char folder_array[] = "/tmp";
    const std::string name = "name";
    struct Case { std::string joined; std::string expected; };
    const Case cases[] = {
        {FileUtils::create_path("/tmp", name), "/tmp/name"},
        {FileUtils::create_path(folder_array, "name"), "/tmp/name"},
        {FileUtils::create_path(std::string("/tmp/"), "name"), "/tmp//name"},  // no other normalisation
        {FileUtils::create_path("/tmp/file", ""), "/tmp/file"},
        {FileUtils::create_path("", "name"), "/name"},
        {FileUtils::create_path("/a", std::string("b"), folder_array, "c///"), "/a/b//tmp/c"},
        {FileUtils::create_path("/tmp", "dir//", ""), "/tmp/dir"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.joined, c.expected);
    EXPECT_EQ(FileUtils::get_separator(), "/");
}

TEST_F(FileUtilsTest, TemporaryFileIsNewEmptyPrivateAndUniquelyNamed) {
    const std::string first = FileUtils::get_temporary_file_path("actualPlugin", ".fmx", "/tmp");
    const std::string second = FileUtils::get_temporary_file_path("actualPlugin", ".fmx", "/tmp");
    for (const std::string& path : {first, second}) {
        EXPECT_THAT(path, MatchesRegex("/tmp/actualPlugin[A-Za-z0-9]{6}\\.fmx"));
        EXPECT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_EQ(fs::file_size(path), 0u) << path;
        EXPECT_EQ(permissions_of(path), 0600) << path;
    }
    EXPECT_NE(first, second);
    fs::remove(first);
    fs::remove(second);
}

TEST_F(FileUtilsTest, TemporaryFileFailuresThrowAndLeaveNothingBehind) {
    struct Case { std::string prefix; std::string folder; std::string error; };
    const Case cases[] = {
        {std::string(1024 - 6, 'p'), dir, "File name too long"},  // template plus terminator exceed 1024 bytes
        {"log", dir + "/missing", "No such file or directory"},
    };
    for (const auto& c : cases) {
        try {
            FileUtils::get_temporary_file_path(c.prefix, "", c.folder.c_str());
            ADD_FAILURE() << "no exception in " << c.folder;
        } catch (const tobrin_exception& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to create temp file: " + c.error);
        }
    }
    EXPECT_TRUE(fs::is_empty(dir));
}

// --- access tests, directories and files ------------------------------------

TEST_F(FileUtilsTest, FileExistsTestsEachRequestedAccess) {
    const std::string file = dir + "/plain";
    write_file(file, "x");
    chmod(file.c_str(), 0644);
    const std::string script = dir + "/script";
    write_file(script, "x");
    chmod(script.c_str(), 0755);

    struct Case { std::string path; bool readable, writable, executable, expected; };
    const Case cases[] = {
        {file, false, false, false, true},
        {dir, false, false, false, true},  // existence alone holds for folders too
        {dir + "/missing", false, false, false, false},
        {file, true, true, false, true},
        {file, false, false, true, false},  // no execute bit: false even for root
        {script, true, false, true, true},
        {dir, true, true, true, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileUtils::file_exists(c.path, c.readable, c.writable, c.executable), c.expected)
            << c.path << " r=" << c.readable << " w=" << c.writable << " x=" << c.executable;
}

TEST_F(FileUtilsTest, CreateDirectoryMakesEveryMissingParent) {
    const std::string deep = dir + "/a//b/c/";
    FileUtils::create_directory(deep, false);  // the flag is not consulted
    EXPECT_TRUE(fs::is_directory(dir + "/a/b/c"));
    EXPECT_EQ(permissions_of(dir + "/a/b"), 0775 & ~current_umask());

    EXPECT_NO_THROW(FileUtils::create_directory(deep));  // existing: nothing happens
    EXPECT_NO_THROW(FileUtils::mkdirs(dir + "/a", "/"));
}

TEST_F(FileUtilsTest, MkdirsThrowsTheSystemErrorAndTheWholePath) {
    write_file(dir + "/file", "x");
    const std::string path = dir + "/file/sub/deeper";
    try {
        FileUtils::mkdirs(path, "/");
        FAIL() << "no exception";
    } catch (const tobrin_exception& e) {
        EXPECT_EQ(std::string(e.what()), "Not a directory: " + path);
        EXPECT_EQ(e.code(), ENOTDIR);
    }
}

TEST_F(FileUtilsTest, MkdirsIsSafeOnSeveralThreadsCreatingTheSameTree) {
    constexpr int rounds = 20;
    constexpr int thread_count = 4;
    for (int round = 0; round < rounds; ++round) {
        const std::string path = dir + "/round" + std::to_string(round) + "/x/y/z";
        std::vector<std::string> failures(thread_count);
        std::vector<std::thread> threads;
        for (int i = 0; i < thread_count; ++i)
            threads.emplace_back([&, i] {
                try {
                    FileUtils::mkdirs(path, "/");
                } catch (const tobrin_exception& e) {
                    failures[i] = e.what();
                }
            });
        for (auto& thread : threads) thread.join();
        for (const auto& failure : failures) EXPECT_EQ(failure, "") << path;
        EXPECT_TRUE(fs::is_directory(path));
    }
}

TEST_F(FileUtilsTest, CreateFileMakesAnEmptyFileExactlyOnce) {
    FileUtils::create_file(dir, "new.pid");
    const std::string file = dir + "/new.pid";
    EXPECT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_EQ(permissions_of(file), 0644 & ~current_umask());

    FileUtils::create_file(dir + "/whole_path", "");  // an empty name: the folder path is the file
    EXPECT_TRUE(fs::is_regular_file(dir + "/whole_path"));

    write_file(file, "kept");
    FileUtils::create_file(dir, "new.pid");
    EXPECT_EQ(read_file(file), "kept");
    EXPECT_TRUE(log.contains("SEVERE: Unable to create file at " + file + ": File exists"));

    FileUtils::create_file(dir + "/missing", "x");
    EXPECT_TRUE(log.contains("Unable to create file at " + dir + "/missing/x: No such file or directory"));
}

TEST_F(FileUtilsTest, DeleteFileRemovesFilesAndEmptyFoldersOnly) {
    write_file(dir + "/file", "x");
    fs::create_directory(dir + "/empty");
    fs::create_directories(dir + "/full/inner");

    EXPECT_TRUE(FileUtils::delete_file(dir, "file"));
    EXPECT_TRUE(FileUtils::delete_file(dir + "/empty", ""));
    EXPECT_FALSE(fs::exists(dir + "/file"));
    EXPECT_FALSE(fs::exists(dir + "/empty"));

    EXPECT_FALSE(FileUtils::delete_file(dir, "file"));
    EXPECT_TRUE(log.contains("CONFIG: An error occurred deleting file at path " + dir +
                             "/file: No such file or directory"));
    EXPECT_FALSE(FileUtils::delete_file(dir, "full"));
    EXPECT_TRUE(fs::exists(dir + "/full/inner"));
    EXPECT_FALSE(log.contains("SEVERE"));
    EXPECT_FALSE(log.contains("WARNING"));
}

// --- home directory -----------------------------------------------------------

TEST_F(FileUtilsTest, HomeDirectoryComesFromThePasswordRecord) {
    const UserLookup own = find_user_record(getuid());
    ASSERT_TRUE(own.record.has_value());
    EXPECT_EQ(FileUtils::get_user_home_directory(), own.record->home_directory);
    EXPECT_EQ(log.contents(), "");
}

TEST_F(FileUtilsTest, HomeDirectoryWithoutARecordFallsBackToHome) {
    const uid_t unknown = 3999999;
    ASSERT_FALSE(find_user_record(unknown).record.has_value());
    const char* saved = std::getenv("HOME");
    const std::string saved_home = saved ? saved : "";

    setenv("HOME", "/home/from-session", 1);
    EXPECT_EQ(home_directory_of(unknown), "/home/from-session");
    unsetenv("HOME");
    EXPECT_EQ(home_directory_of(unknown), "");
    EXPECT_TRUE(log.contains(
        "WARNING: An error occurred while getting user home directory: no password record for user id 3999999"));

    if (saved) setenv("HOME", saved_home.c_str(), 1);
}

// --- appending --------------------------------------------------------------

TEST_F(FileUtilsTest, AppendFileCopiesTheWholeTail) {
    const std::string head = dir + "/head", tail = dir + "/tail", empty = dir + "/empty";
    const std::string binary("bytes\0with\xff\nnul", 15);
    std::string big(200000, 'z');  // more than one copy chunk
    write_file(head, "start:");
    write_file(tail, binary + big);
    write_file(empty, "");

    FileUtils::append_file(head, tail);
    EXPECT_EQ(read_file(head), "start:" + binary + big);
    FileUtils::append_file(head, empty);
    EXPECT_EQ(read_file(head), "start:" + binary + big);

    FileUtils::append_file(dir + "/created", tail);  // a missing head is created
    EXPECT_EQ(read_file(dir + "/created"), binary + big);
}

TEST_F(FileUtilsTest, AppendFileFailuresThrow) {
    const std::string tail = dir + "/tail";
    write_file(tail, "content");
    struct Case { std::string head; std::string tail; std::string message; };
    std::vector<Case> cases = {
        {dir + "/missing/head", tail, "Unable to open head file at " + dir + "/missing/head"},
        {dir + "/head", dir + "/missing", "Unable to open tail file at " + dir + "/missing"},
        {dir + "/head", dir, "Unable to read tail file at " + dir},  // a folder opens but cannot be read
    };
    if (fs::exists("/dev/full")) cases.push_back({"/dev/full", tail, "Unable to write head file at /dev/full"});
    for (const auto& c : cases) {
        try {
            FileUtils::append_file(c.head, c.tail);
            ADD_FAILURE() << "no exception for " << c.head << " + " << c.tail;
        } catch (const tobrin_exception& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

}  // namespace
