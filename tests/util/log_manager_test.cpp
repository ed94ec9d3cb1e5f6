#include "util/LogManager.h"

#include <gtest/gtest.h>

#include "TestLogging.h"

using corvane::LogManager;
using corvane::Logger;
using corvane::LoggerName;
using corvane::testing::ScopedTestLog;

TEST(LogManager, CallsWithoutADefaultLoggerFail) {
    LogManager::set_default_logger_name(LoggerName("nobody_registered_this"));
    EXPECT_THROW(LogManager::info("x"), std::out_of_range);
    EXPECT_THROW(LogManager::info("x", LoggerName("nobody_registered_this")), std::out_of_range);
    LogManager::set_default_logger_name(LoggerName("default"));
}

TEST(LogManager, SeverityCallsMapToLoggerLevels) {
    ScopedTestLog log(Logger::CONFIG);
    LogManager::debug("debug {:d}", 1);
    LogManager::info("info {}", std::string("two"));
    LogManager::warn("warn {:X}", 255);
    LogManager::error("error {:.2f}", 0.75);
    LogManager::fine("fine is below CONFIG");
    EXPECT_EQ(log.contents(), "CONFIG: debug 1\nINFO: info two\nWARNING: warn FF\nSEVERE: error 0.75\n");
}

TEST(LogManager, DebugIsDroppedAtTheDefaultThreshold) {
    ScopedTestLog log(Logger::INFO);
    LogManager::debug("hidden");
    LogManager::info("shown");
    EXPECT_EQ(log.contents(), "INFO: shown\n");
}

TEST(LogManager, FormatErrorsReachTheCaller) {
    ScopedTestLog log;
    EXPECT_THROW(LogManager::info("missing {}"), fmt::format_error);
    EXPECT_THROW(LogManager::info("{:d}", "text"), fmt::format_error);
    EXPECT_EQ(log.contents(), "");
}

TEST(LogManager, TargetedInfoTakesAFormatString) {
    ScopedTestLog log;
    auto raw = std::make_shared<Logger>(log.path, Logger::ALL);
    LogManager::configure_logger("java_TEST", raw, nullptr);
    EXPECT_THROW(LogManager::info("a { b", LoggerName("java_TEST")), fmt::format_error);
    LogManager::info("a {{ b }}\n", LoggerName("java_TEST"));
    EXPECT_EQ(log.contents(), "a { b }\n");
    LogManager::clear_logger("java_TEST");
}

TEST(LogManager, ConfigureTwiceKeepsTheSecondAndClearIsQuiet) {
    ScopedTestLog log;
    auto first = std::make_shared<Logger>(log.path, Logger::ALL);
    auto second = std::make_shared<Logger>(log.path, Logger::ALL);
    LogManager::configure_logger("twice", first, nullptr);
    LogManager::configure_logger("twice", second, nullptr);
    EXPECT_EQ(LogManager::get_logger("twice"), second);
    LogManager::clear_logger("twice");
    EXPECT_EQ(LogManager::get_logger("twice"), nullptr);

    ::testing::internal::CaptureStderr();
    LogManager::clear_logger("never_there");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(LogManager, ClearingTheDefaultMakesLaterCallsFail) {
    ScopedTestLog log;
    LogManager::clear_logger(log.name);
    EXPECT_THROW(LogManager::info("gone"), std::out_of_range);
}
