#include "util/LogHandler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "exception/TobrinException.h"
#include "util/lin/FileUtils.h"

using corvane::FileUtils;
using corvane::Logger;

namespace {

class LoggerFile : public ::testing::Test {
protected:
    std::string path = FileUtils::get_temporary_file_path("logger_", ".log", "/tmp");
    ~LoggerFile() override { std::remove(path.c_str()); }
    std::string contents() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
};

}  // namespace

TEST_F(LoggerFile, ThresholdDecidesWhatIsWritten) {
    struct Case { Logger::Level threshold; const char* expected; };
    // One statement per level, each message naming its level.
    const Case cases[] = {
        {Logger::OFF, ""},
        {Logger::SEVERE, "S"},
        {Logger::CONFIG, "SWIC"},
        {Logger::FINE, "SWICF"},
        {Logger::ALL, "SWICFRT"},
    };
    for (const auto& c : cases) {
        std::remove(path.c_str());
        Logger logger(path, c.threshold);
        logger.add_formatter("raw", nullptr);
        logger.severe("S", "raw");
        logger.warning("W", "raw");
        logger.info("I", "raw");
        logger.config("C", "raw");
        logger.fine("F", "raw");
        logger.finer("R", "raw");
        logger.finest("T", "raw");
        EXPECT_EQ(contents(), c.expected) << "threshold " << static_cast<int>(c.threshold);
    }
}

TEST_F(LoggerFile, FormatterExpandsTimeThenLevelAndMessage) {
    Logger logger(path, Logger::ALL);
    logger.add_formatter("native", "%b %d, %Y %I:%M:%S %p C++ <Native>%n{}: [C++] {}%n");
    logger.add_formatter("raw", nullptr);
    logger.info("Started stderr logging", "native");
    logger.warning("literal {} %d {{ }", "native");
    logger.info("no line end", "raw");

    const std::string text = contents();
    // Each bridge statement: a time stamp line, then the level and the text.
    const std::string stamp_tail = " C++ <Native>\n";
    const auto stamp_line_end = [&](size_t from) {
        const size_t end = text.find(stamp_tail, from);
        EXPECT_NE(end, std::string::npos) << text;
        // "Mon DD, YYYY HH:MM:SS AM" is 24 characters.
        EXPECT_EQ(end - from, 24u) << text.substr(from);
        EXPECT_TRUE(text.compare(end - 2, 2, "AM") == 0 || text.compare(end - 2, 2, "PM") == 0) << text;
        return end + stamp_tail.size();
    };
    size_t at = stamp_line_end(0);
    const std::string first = "INFO: [C++] Started stderr logging\n";
    ASSERT_EQ(text.compare(at, first.size(), first), 0) << text;
    at = stamp_line_end(at + first.size());
    EXPECT_EQ(text.substr(at), "WARNING: [C++] literal {} %d {{ }\nno line end") << text;
}

TEST_F(LoggerFile, UnknownFormatterFailsOnlyWhenTheLevelPasses) {
    Logger logger(path, Logger::INFO);
    EXPECT_THROW(logger.info("x", "missing"), std::out_of_range);
    EXPECT_NO_THROW(logger.fine("x", "missing"));
    EXPECT_EQ(contents(), "");
}

TEST_F(LoggerFile, BrokenFormatReportsAndThrowsButLoggerStaysUsable) {
    Logger logger(path, Logger::ALL);
    logger.add_formatter("broken", "{} {} {}");  // three placeholders, two arguments
    logger.add_formatter("raw", nullptr);
    ::testing::internal::CaptureStderr();
    try {
        logger.info("hello", "broken");
        FAIL() << "expected a tobrin_exception";
    } catch (const corvane::tobrin_exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("A format error occurred while trying to log msg \"hello\": ", 0), 0u)
            << e.what();
    }
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("A format error occurred"), std::string::npos);
    logger.info("still fine", "raw");
    EXPECT_EQ(contents(), "still fine");
}

TEST_F(LoggerFile, EmptyFormatterWritesNothingAndDoesNotHang) {
    Logger logger(path, Logger::ALL);
    logger.add_formatter("empty", "");
    logger.info("message", "empty");
    EXPECT_EQ(contents(), "");
}

TEST_F(LoggerFile, CopyWritesToTheSameFileAtInfoWithoutFormatters) {
    Logger original(path, Logger::ALL);
    original.add_formatter("raw", nullptr);
    Logger copy(original);
    EXPECT_EQ(copy.get_log_file_path(), path);
    EXPECT_FALSE(copy.is_logging_allowed(Logger::CONFIG));
    EXPECT_TRUE(copy.is_logging_allowed(Logger::INFO));
    EXPECT_THROW(copy.info("x", "raw"), std::out_of_range);
}

TEST(LoggerLevels, ParseAndPrint) {
    EXPECT_EQ(Logger::level_from_string("finer"), Logger::FINER);
    EXPECT_EQ(Logger::level_from_string("OFF"), Logger::OFF);
    EXPECT_EQ(Logger::level_from_string("All"), Logger::ALL);
    for (const char* bad : {"", "LOUD", " INFO", "INFO "})
        EXPECT_THROW(Logger::level_from_string(bad), corvane::tobrin_exception) << '"' << bad << '"';

    auto printed = [](Logger::Level level) {
        std::ostringstream out;
        out << level;
        return out.str();
    };
    EXPECT_EQ(printed(Logger::SEVERE), "SEVERE");
    EXPECT_EQ(printed(Logger::FINEST), "FINEST");
    EXPECT_EQ(printed(Logger::OFF), "");
    EXPECT_EQ(printed(Logger::ALL), "");
}
