// The named loggers and the three stages of the log set-up: the start-up
// log, the permanent log with and without retention, and the removal of the
// start-up log at shutdown.
#include <algorithm>

#include "LogTestSupport.h"

namespace corvane {
namespace testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> file_names_in(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(LogFilesTest, CppAndJavaLoggersShareOneFileInTheirOwnFormats) {
    const std::string path = scratch / "shared.log";
    const auto logger = std::make_shared<Logger>(path, Logger::INFO);

    parent.configure_cpp_logging("cpp_Abcd", logger);
    parent.configure_java_logging("java_Abcd", logger);
    LogManager::info("native {} text", "{}");
    LogManager::info("raw {{}} %d\n", LoggerName("java_Abcd"));

    EXPECT_EQ(LogManager::get_default_logger_name().name(), "cpp_Abcd") << "the Java logger is never the default";
    EXPECT_EQ(LogManager::get_logger("java_Abcd"), logger);
    const std::string content = read_file(path);
    const size_t stamp_line_size = std::string("Dec 09, 2026 01:12:06 AM C++ <Native>\n").size();
    EXPECT_EQ(content.size() - without_time_stamps(content).size(), 3 * stamp_line_size)
        << "one time-stamp line per native statement, none for the raw one:\n" << content;
    EXPECT_EQ(without_time_stamps(content), "INFO: [C++] C++ logging configured at " + path +
                                                "\nINFO: [C++] Java logging configured at " + path +
                                                "\nINFO: [C++] native {} text\nraw {} %d\n");
}

TEST_F(LogFilesTest, StartupLogIsAFreshFileMadeTheDefault) {
    fs::create_directories(marker_dir);
    write_file(parent.get_logging_properties_path(), "com.corvane.native.logging.level = CONFIG\n");

    parent.open_startup_log("My Plugin", "Abcd");
    LogManager::debug("written at CONFIG");

    const std::string path = parent.initial_log_file_path;
    EXPECT_EQ(fs::path(path).parent_path(), scratch.path);
    const std::string name = fs::path(path).filename().string();
    EXPECT_EQ(name.size(), std::string("My Plugin_XXXXXX.log").size()) << name;
    EXPECT_EQ(name.rfind("My Plugin_", 0), 0u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".log") << name;
    EXPECT_EQ(parent.g_plugin_attributes.at("initial_log_file_path"), path);
    EXPECT_EQ(LogManager::get_default_logger_name().name(), "temp_Abcd");
    EXPECT_EQ(without_time_stamps(read_file(path)),
              "INFO: [C++] C++ logging configured at " + path + "\nCONFIG: [C++] written at CONFIG\n");
}

TEST_F(LogFilesTest, StartupLogHonoursAHighThresholdAndASlashInTheName) {
    fs::create_directories(marker_dir);
    write_file(parent.get_logging_properties_path(), "com.corvane.native.logging.level = WARNING\n");

    parent.open_startup_log("Tools/Extra", "Abcd");
    LogManager::info("dropped");

    EXPECT_EQ(fs::path(parent.initial_log_file_path).parent_path(), scratch.path) << "a name stays one file name";
    EXPECT_EQ(read_file(parent.initial_log_file_path), "");
}

// One host session: the object is created, initialised and shut down.
class LogStagesTest : public LogFilesTest {
protected:
    // Runs the three stages on a new object; returns its permanent log path.
    std::string initialise_once(const std::string& statement) {
        PipeParent object;
        point_at_scratch(object);
        object.init_params.application_type = kFMXT_Server;
        ErrPipe err(object);
        err.write("from the child\n\v\f");
        err.close_writer();

        object.open_startup_log("My Plugin", "Abcd");
        LogManager::info("{}", statement);
        object.open_permanent_log();
        LogManager::info("after the move");
        object.set_init(true);

        object.terminate_logging_thread();
        object.delete_startup_log();
        EXPECT_FALSE(fs::exists(object.initial_log_file_path));
        return object.log_file_path;
    }
};

TEST_F(LogStagesTest, PermanentLogStartsWithTheStartupLogAndRelaysTheChild) {
    const std::string path = initialise_once("before the move");

    EXPECT_EQ(path, server_dir + "/My_Plugin_Server.log");
    const std::string content = without_time_stamps(read_file(path));
    const std::string startup_prefix = "INFO: [C++] C++ logging configured at " + scratch.path + "/My Plugin_";
    EXPECT_EQ(content.rfind(startup_prefix, 0), 0u) << content;
    const std::string moved = "INFO: [C++] before the move\n"
                              "INFO: [C++] C++ logging configured at " + path + "\n"
                              "INFO: [C++] Java logging configured at " + path + "\n";
    EXPECT_NE(content.find(moved), std::string::npos) << content;
    EXPECT_NE(content.find("INFO: [C++] Started stderr logging\n"), std::string::npos) << content;
    EXPECT_NE(content.find("\nfrom the child\n"), std::string::npos) << content;
    EXPECT_NE(content.find("INFO: [C++] after the move\n"), std::string::npos) << content;
}

TEST_F(LogStagesTest, WithoutRetentionEachInitialisationRewritesOneFile) {
    initialise_once("first initialisation");
    const std::string path = initialise_once("second initialisation");

    EXPECT_EQ(file_names_in(server_dir), std::vector<std::string>{"My_Plugin_Server.log"});
    const std::string content = read_file(path);
    EXPECT_EQ(content.find("first initialisation"), std::string::npos);
    EXPECT_NE(content.find("second initialisation"), std::string::npos);
}

TEST_F(LogStagesTest, WithRetentionEachInitialisationStartsTheNextFile) {
    fs::create_directories(marker_dir);
    write_file(marker_dir + "/retain_logs", "");

    for (const char* statement : {"first", "second", "third"}) initialise_once(statement);

    EXPECT_EQ(file_names_in(server_dir), (std::vector<std::string>{"My_Plugin_Server(1).log",
                                                                    "My_Plugin_Server(2).log", "My_Plugin_Server.log"}));
    EXPECT_NE(read_file(server_dir + "/My_Plugin_Server.log").find("INFO: [C++] first\n"), std::string::npos);
    EXPECT_NE(read_file(server_dir + "/My_Plugin_Server(2).log").find("INFO: [C++] third\n"), std::string::npos);
}

TEST_F(LogStagesTest, DesktopLogGoesUnderTheHomeFolder) {
    parent.init_params.application_type = kFMXT_Pro;
    ErrPipe err(parent);
    parent.open_startup_log("My Plugin", "Abcd");
    parent.open_permanent_log();

    EXPECT_EQ(parent.log_file_path, scratch / "home/Velmora/My_Plugin_FMPro.log");
    EXPECT_TRUE(fs::exists(parent.log_file_path));
}

TEST_F(LogStagesTest, StartupLogIsDeletedOnlyAfterASuccessfulInitialisation) {
    parent.open_startup_log("My Plugin", "Abcd");
    LogManager::set_default_logger_name(LoggerName(log.name));  // what shutdown logs, readable here
    const std::string path = parent.initial_log_file_path;

    parent.delete_startup_log();
    EXPECT_TRUE(fs::exists(path)) << "kept for diagnosis after a failed initialisation";

    parent.set_init(true);
    parent.delete_startup_log();
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(log.contains("Unable to delete temp log"));

    parent.delete_startup_log();
    EXPECT_TRUE(log.contains("WARNING: Unable to delete temp log at " + path + "\n"));
}

}  // namespace
}  // namespace testing
}  // namespace corvane
