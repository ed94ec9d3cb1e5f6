#pragma once

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "util/LogManager.h"
#include "util/lin/FileUtils.h"

namespace corvane {
namespace testing {

// Registers a default logger on a fresh temporary file for the life of the
// object, so code under test can log and tests can read what it wrote.
class ScopedTestLog {
public:
    explicit ScopedTestLog(Logger::Level level = Logger::ALL, const char* format = "{}: {}\n")
        : path(FileUtils::get_temporary_file_path("testlog_", ".log", "/tmp")),
          logger(std::make_shared<Logger>(path, level)),
          previous_default(LogManager::get_default_logger_name()) {
        LogManager::configure_logger(name, logger, format);
        LogManager::set_default_logger_name(LoggerName(name));
    }
    ~ScopedTestLog() {
        LogManager::clear_logger(name);
        LogManager::set_default_logger_name(previous_default);
        std::remove(path.c_str());
    }
    ScopedTestLog(const ScopedTestLog&) = delete;
    ScopedTestLog& operator=(const ScopedTestLog&) = delete;

    std::string contents() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    bool contains(const std::string& text) const { return contents().find(text) != std::string::npos; }

    const std::string name = "test_default";
    const std::string path;
    const std::shared_ptr<Logger> logger;

private:
    LoggerName previous_default;
};

}  // namespace testing
}  // namespace corvane
