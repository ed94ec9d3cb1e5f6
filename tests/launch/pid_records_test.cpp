#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "JarFixture.h"
#include "LaunchSupport.h"
#include "TestLogging.h"
#include "exception/TobrinException.h"
#include "util/lin/FileUtils.h"
#include "util/lin/ProcessUtils.h"

using namespace corvane;
using namespace corvane::testing;
using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;

// The id of a process that has ended and been reaped.
std::string dead_process_id() {
    SpawnedProcess process({"/bin/true"});
    int status = 0;
    process.reap(status);
    return std::to_string(process.pid);
}

// The stand-in child, run with the child program's main class on its command
// line, as a recorded child is.
std::vector<std::string> child_program() {
    return {STUB_CHILD_PATH, "-cp", "sleep", "com.corvane.ambrix.PipeChild"};
}

class PidRecordTest : public ::testing::Test {
protected:
    std::string make_folder(const std::string& relative) const {
        const std::string path = root.file(relative);
        fs::create_directories(path);
        return path;
    }
    std::string make_file(const std::string& relative) const {
        fs::create_directories(fs::path(root.file(relative)).parent_path());
        return root.write(relative, "");
    }
    bool exists(const std::string& relative) const {
        std::error_code ignored;
        return fs::exists(fs::symlink_status(root.file(relative), ignored));
    }

    ScopedTestLog log;
    ScopedTempDir root;
};

TEST_F(PidRecordTest, CreatesTheRecordWithItsFolders) {
    const std::string path = ProcessUtils::create_pid_file(root.path, "Abcd", 4242);

    const std::string expected = root.path + "/Abcd/" + std::to_string(getpid()) + "/4242.pid";
    EXPECT_EQ(path, expected);
    EXPECT_TRUE(fs::is_regular_file(expected));
    EXPECT_EQ(fs::file_size(expected), 0u);
    EXPECT_TRUE(log.contains("PID folder not writable"));
    EXPECT_TRUE(log.contains("Creating PID file at " + expected));

    // A record that exists already is reported, not replaced.
    EXPECT_EQ(ProcessUtils::create_pid_file(root.path, "Abcd", 4242), expected);
    EXPECT_TRUE(log.contains("Unable to create file at " + expected));
}

TEST_F(PidRecordTest, FolderThatCannotBeCreatedThrows) {
    const std::string not_a_folder = root.write("plain-file", "");
    EXPECT_THROW(ProcessUtils::create_pid_file(not_a_folder, "Abcd", 4242), tobrin_exception);
}

TEST_F(PidRecordTest, RecordsOfDeadHostsGoAndTheirChildrenEnd) {
    const std::string self = std::to_string(getpid());
    SpawnedProcess child_of_live_host(child_program());
    SpawnedProcess orphan(child_program());
    SpawnedProcess unrelated({"/bin/sleep", "60"});
    ASSERT_GT(child_of_live_host.pid, 0);
    ASSERT_GT(orphan.pid, 0);
    ASSERT_GT(unrelated.pid, 0);
    const ProcessWatch orphan_watch(orphan.pid);
    const std::string dead_host = dead_process_id();
    const std::string other_dead_host = dead_process_id();
    const std::string reused_id_host = dead_process_id();
    const std::string dead_child = dead_process_id();

    const std::string live_record = "Abcd/" + self + "/" + std::to_string(child_of_live_host.pid) + ".pid";
    make_file(live_record);
    make_file("Abcd/" + dead_host + "/" + std::to_string(orphan.pid) + ".pid");
    make_file("Wxyz/" + other_dead_host + "/" + dead_child + ".pid");
    make_file("Abcd/" + reused_id_host + "/" + std::to_string(unrelated.pid) + ".pid");

    ProcessUtils::delete_orphaned_pids(root.path);

    // A live host keeps its record and its child.
    EXPECT_TRUE(exists(live_record));
    EXPECT_TRUE(ProcessUtils::is_process_alive(child_of_live_host.pid));
    // A dead host's running child is killed, its record and folder go.
    EXPECT_TRUE(orphan_watch.ended_within(std::chrono::milliseconds(hang_limit))) << log.contents();
    EXPECT_TRUE(log.contains("Killing process at " + std::to_string(orphan.pid)));
    EXPECT_FALSE(exists("Abcd/" + dead_host));
    // Every plug-in's records are cleaned; the plug-in's own folder stays.
    EXPECT_FALSE(exists("Wxyz/" + other_dead_host));
    EXPECT_TRUE(exists("Wxyz"));
    // An id that now belongs to another program: the record goes, the
    // program is not signalled.
    EXPECT_FALSE(exists("Abcd/" + reused_id_host));
    EXPECT_TRUE(ProcessUtils::is_process_alive(unrelated.pid));
    EXPECT_FALSE(log.contains("Killing process at " + std::to_string(unrelated.pid)));
}

// Everything that is not a record of the layout root/CODE/PARENT/CHILD.pid
// survives the walk, even beside records and with dead ids in its name.
TEST_F(PidRecordTest, WalkTouchesNothingOutsideTheRecordLayout) {
    const std::string dead = dead_process_id();
    const std::string dead_child = dead_process_id();
    const ScopedTempDir outside;
    fs::create_directories(outside.file(dead));
    outside.write(dead + "/" + dead_child + ".pid", "");
    fs::create_symlink(outside.path, root.file("Link"));

    const std::vector<std::string> surviving_folders{
        dead,                // numeric, directly under the root
        dead + "abc",        // a name that only begins with digits
        "Abcd/notanumber",   // inside a code folder, not an id
        "Abcd/99999999999",  // an id too large for a process
    };
    const std::vector<std::string> surviving_files{
        "Abcd/" + dead + ".pid",                         // record-like, directly in a code folder
        "Abcd/" + dead + "/notes.txt",                   // foreign, beside a record
        "Abcd/" + dead + "/abc.pid",                     // a record whose child is not an id
        "Abcd/" + dead + "/sub/" + dead_child + ".pid",  // deeper than the layout
        "other/deep/" + dead + "/" + dead_child + ".pid",
    };
    for (const std::string& folder : surviving_folders) make_folder(folder);
    for (const std::string& file : surviving_files) make_file(file);
    make_file("Abcd/" + dead + "/" + dead_child + ".pid");

    ProcessUtils::delete_orphaned_pids(root.path);

    for (const std::string& folder : surviving_folders) EXPECT_TRUE(exists(folder)) << folder;
    for (const std::string& file : surviving_files) EXPECT_TRUE(exists(file)) << file;
    EXPECT_TRUE(exists("Link"));
    EXPECT_TRUE(fs::exists(outside.file(dead + "/" + dead_child + ".pid"))) << "a link was followed";
    // The record itself went; its folder stays because of the foreign entries.
    EXPECT_FALSE(exists("Abcd/" + dead + "/" + dead_child + ".pid"));
    EXPECT_TRUE(log.contains("An error occurred while trying to delete directory " + root.path + "/Abcd/" + dead));
    EXPECT_TRUE(log.contains("Unable to convert notanumber to integer"));
    EXPECT_TRUE(log.contains("Unable to convert 99999999999 to integer"));
    EXPECT_TRUE(log.contains("Unable to convert abc or " + dead + " to integer"));
}

TEST_F(PidRecordTest, MissingRootIsNoError) {
    EXPECT_NO_THROW(ProcessUtils::delete_orphaned_pids(root.file("missing")));
}

}  // namespace
