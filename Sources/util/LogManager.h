#pragma once

#include <fmt/format.h>

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "util/LogHandler.h"

namespace corvane {

// A logger name, typed apart from message text.
class LoggerName {
public:
    LoggerName(std::string name) : logger_name(std::move(name)) {}  // NOLINT: implicit by design
    LoggerName(const char* name) : logger_name(name) {}              // NOLINT
    const std::string& name() const { return logger_name; }

private:
    std::string logger_name;
};

// The static logging front: a registry of named loggers and one call per
// severity taking a {fmt} template and its arguments. Until a default logger
// is registered every call throws std::out_of_range.
class LogManager {
public:
    static void set_default_logger_name(const LoggerName& name);
    static const LoggerName& get_default_logger_name();
    static void configure_logger(const std::string& name, const std::shared_ptr<Logger>& logger, const char* format);
    static void clear_logger(const std::string& name);
    static std::shared_ptr<Logger> get_logger(const std::string& name);

    template <typename... Args>
    static void debug(fmt::string_view format, const Args&... args) {
        write(Logger::CONFIG, format, fmt::make_format_args(args...));
    }
    template <typename... Args>
    static void info(fmt::string_view format, const Args&... args) {
        write(Logger::INFO, format, fmt::make_format_args(args...));
    }
    template <typename... Args>
    static void warn(fmt::string_view format, const Args&... args) {
        write(Logger::WARNING, format, fmt::make_format_args(args...));
    }
    template <typename... Args>
    static void error(fmt::string_view format, const Args&... args) {
        write(Logger::SEVERE, format, fmt::make_format_args(args...));
    }
    template <typename... Args>
    static void fine(fmt::string_view format, const Args&... args) {
        write(Logger::FINE, format, fmt::make_format_args(args...));
    }
    // Writes to the named logger under that name's formatter. The message is
    // itself a format string: callers passing foreign text double its braces.
    static void info(fmt::string_view format, const LoggerName& target);

private:
    static void write(Logger::Level level, fmt::string_view format, fmt::format_args args);
    static void dispatch(Logger& logger, const std::string& name, Logger::Level level, std::string message);

    static LoggerName default_logger_name;
    static std::map<std::string, std::shared_ptr<Logger>> logger_map;
};

}  // namespace corvane
