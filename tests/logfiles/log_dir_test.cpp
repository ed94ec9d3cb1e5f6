// The log folder by host kind, the numbering of retained log files, the
// retention marker and the native level from the logging properties file.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include "LogTestSupport.h"
#include "exception/TobrinException.h"

namespace corvane {
namespace testing {
namespace {

namespace fs = std::filesystem;

class LogDirTest : public LogFilesTest, public ::testing::WithParamInterface<int> {};

TEST_P(LogDirTest, DesktopKindsUseTheHomeFolderAndOthersTheServerFolder) {
    parent.init_params.application_type = static_cast<FMX_Application>(GetParam());
    const bool desktop = GetParam() < kFMXT_Server;

    const std::string dir = parent.get_log_dir();

    if (desktop) {
        EXPECT_EQ(dir, scratch / "home/Velmora");
        EXPECT_FALSE(fs::exists(dir)) << "a desktop folder is made only when the log is";
        EXPECT_EQ(log.contents(), "");
    } else {
        EXPECT_EQ(dir, server_dir);
        struct stat info {};
        ASSERT_EQ(stat(dir.c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 07777, 0755u);
        EXPECT_TRUE(log.contains("Creating log directory and setting permissions."));
        EXPECT_TRUE(log.contains("Plug-in log directory: " + server_dir + "\n"));
    }

    // Computed once: later changes of the inputs do not move the log.
    parent.init_params.application_type = desktop ? kFMXT_Server : kFMXT_Pro;
    parent.server_log_dir = scratch / "elsewhere";
    EXPECT_EQ(parent.get_log_dir(), dir);
}

INSTANTIATE_TEST_SUITE_P(EveryHostKind, LogDirTest, ::testing::Range(0, 10));

TEST_F(LogFilesTest, ExistingServerFolderIsLoggedButLeftAsItIs) {
    fs::create_directories(server_dir);
    ASSERT_EQ(chmod(server_dir.c_str(), 0700), 0);
    parent.init_params.application_type = kFMXT_Server;

    EXPECT_EQ(parent.get_log_dir(), server_dir);

    struct stat info {};
    ASSERT_EQ(stat(server_dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_FALSE(log.contains("Creating log directory"));
    EXPECT_TRUE(log.contains("Plug-in log directory: " + server_dir + "\n"));
}

TEST_F(LogFilesTest, NewServerFolderGoesToTheServerAccount) {
    // As root the folder can be given away, which shows the owner really
    // changes; otherwise the caller's own account is all chown allows.
    const bool root = geteuid() == 0 && getpwnam("nobody") != nullptr && getgrnam("nogroup") != nullptr;
    parent.server_log_user = root ? "nobody" : getpwuid(geteuid())->pw_name;
    parent.server_log_group = root ? "nogroup" : getgrgid(getegid())->gr_name;
    parent.init_params.application_type = kFMXT_SASE;

    parent.get_log_dir();

    struct stat info {};
    ASSERT_EQ(stat(server_dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, getpwnam(parent.server_log_user.c_str())->pw_uid);
    EXPECT_EQ(info.st_gid, getgrnam(parent.server_log_group.c_str())->gr_gid);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
}

TEST_F(LogFilesTest, ServerWithoutItsAccountKeepsTheFolderOwnerAndGoesOn) {
    parent.server_log_user = "no_such_user_for_logs";
    parent.server_log_group = "no_such_group_for_logs";
    parent.init_params.application_type = kFMXT_Server;

    EXPECT_EQ(parent.get_log_dir(), server_dir);

    struct stat info {};
    ASSERT_EQ(stat(server_dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, geteuid());
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_TRUE(log.contains("no_such_user_for_logs"));
    EXPECT_TRUE(log.contains("no_such_group_for_logs"));
    EXPECT_TRUE(log.contains("Plug-in log directory: " + server_dir + "\n"));
}

struct NumberingCase {
    const char* label;
    std::vector<std::string> existing;
    std::string base;
    std::string expected;
};

TEST_F(LogFilesTest, NextLogFileIsNumberedByTheCountOfMatchingFiles) {
    const std::vector<NumberingCase> cases = {
        {"empty folder", {}, "P_Server", "P_Server.log"},
        {"unnumbered exists", {"P_Server.log"}, "P_Server", "P_Server(1).log"},
        {"two exist", {"P_Server.log", "P_Server(1).log"}, "P_Server", "P_Server(2).log"},
        // The count, not the highest number: a gap sends statements to an
        // existing file.
        {"gap", {"P_Server.log", "P_Server(2).log"}, "P_Server", "P_Server(2).log"},
        {"numbered only", {"P_Server(7).log"}, "P_Server", "P_Server(1).log"},
        {"look-alikes do not count",
         {"P_Server(x).log", "P_Server().log", "P_Server.log.old", "P_Server(1).logx", "xP_Server.log",
          "P_Server (1).log", "P_Server(1)(2).log", "P_Server(-1).log", "P_Server", "P_FMPro.log"},
         "P_Server",
         "P_Server.log"},
        {"base taken literally", {"A+B(1).log", "AAB(1).log", "A+B(1)(3).log"}, "A+B(1)", "A+B(1)(2).log"},
    };
    for (const NumberingCase& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchDir dir;
        for (const std::string& name : c.existing) write_file(dir / name, "");
        EXPECT_EQ(parent.get_next_log_file_path(dir.path, c.base), dir / c.expected);
    }
}

TEST_F(LogFilesTest, NextLogFileInAMissingFolderThrows) {
    const std::string missing = scratch / "missing";
    try {
        parent.get_next_log_file_path(missing, "P_Server");
        FAIL() << "no error";
    } catch (const tobrin_exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "An error occurred trying to open directory " + missing + ": No such file or directory");
    }
}

TEST_F(LogFilesTest, RetentionFollowsTheMarkerWhateverItIs) {
    EXPECT_FALSE(parent.should_retain_logs()) << "no marker folder";
    fs::create_directories(marker_dir);
    EXPECT_FALSE(parent.should_retain_logs());
    fs::create_directories(marker_dir + "/retain_logs");
    EXPECT_TRUE(parent.should_retain_logs()) << "a folder counts";
    fs::remove(marker_dir + "/retain_logs");
    write_file(marker_dir + "/retain_logs", "");
    EXPECT_TRUE(parent.should_retain_logs()) << "an empty file counts";

    EXPECT_EQ(PipeParent().get_logging_properties_path(), "/Ambrix/logging.properties");
    EXPECT_EQ(parent.get_logging_properties_path(), marker_dir + "/logging.properties");
}

struct LevelCase {
    const char* label;
    std::string content;
    Logger::Level expected;
};

TEST_F(LogFilesTest, NativeLevelComesFromTheFirstLineThatCounts) {
    const std::string key = "com.corvane.native.logging.level";
    const std::vector<LevelCase> cases = {
        {"blanks around =", key + " = FINE\n", Logger::FINE},
        {"no blanks", key + "=SEVERE", Logger::SEVERE},
        {"tabs", key + "\t=\tALL\n", Logger::ALL},
        {"FINEST is not FINE", key + " = FINEST\n", Logger::FINEST},
        {"OFF", key + "=OFF\n", Logger::OFF},
        {"among Java settings",
         "handlers = java.util.logging.FileHandler\n.level = FINE\n" + key + " = WARNING\nfoo = bar\n",
         Logger::WARNING},
        {"first counting line wins", key + " = bogus\n" + key + " = CONFIG\n" + key + " = FINER\n", Logger::CONFIG},
        {"trailing blank", key + " = FINE \n", Logger::INFO},
        {"lower case value", key + " = fine\n", Logger::INFO},
        {"leading blank", " " + key + " = FINE\n", Logger::INFO},
        {"trailing comment", key + " = FINE # more detail\n", Logger::INFO},
        {"CRLF line", key + " = FINE\r\n", Logger::INFO},
        {"colon separator", key + ": FINE\n", Logger::INFO},
        {"no value", key + " =\n", Logger::INFO},
        {"longer key", key + "s = FINE\n", Logger::INFO},
        {"missing key", "handlers = java.util.logging.ConsoleHandler\n", Logger::INFO},
        {"empty file", "", Logger::INFO},
        {"garbage", std::string("\x00\xff\x0b{}=\n\n\x7f", 9) + key, Logger::INFO},
    };
    const std::string path = scratch / "logging.properties";
    for (const LevelCase& c : cases) {
        SCOPED_TRACE(c.label);
        write_file(path, c.content);
        EXPECT_EQ(parent.get_native_logging_level(path), c.expected);
    }
    EXPECT_EQ(parent.get_native_logging_level(scratch / "missing.properties"), Logger::INFO);
    EXPECT_EQ(parent.get_native_logging_level(scratch.path), Logger::INFO) << "a folder";
}

}  // namespace
}  // namespace testing
}  // namespace corvane
