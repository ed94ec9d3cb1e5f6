#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

namespace corvane {

// Writes levelled statements to one stream (an append-mode file or standard
// output). Each statement is formatted, written and flushed under the
// logger's own lock, so statements never interleave and a log is complete up
// to the last statement even if the process dies.
class Logger {
public:
    enum Level : int32_t {
        OFF = INT32_MAX,
        SEVERE = 1000,
        WARNING = 900,
        INFO = 800,
        CONFIG = 700,
        FINE = 300,
        FINER = 200,
        FINEST = 100,
        ALL = INT32_MIN
    };

    Logger();
    explicit Logger(const Level& level);
    explicit Logger(const std::string& log_file_path);
    Logger(const std::string& log_file_path, const Level& level);
    // A new logger on the same file at INFO with no formatters.
    Logger(const Logger& other);
    Logger& operator=(const Logger&) = delete;
    virtual ~Logger();

    void severe(std::string message, const char* formatter_id);
    void warning(std::string message, const char* formatter_id);
    void info(std::string message, const char* formatter_id);
    void config(std::string message, const char* formatter_id);
    void fine(std::string message, const char* formatter_id);
    void finer(std::string message, const char* formatter_id);
    void finest(std::string message, const char* formatter_id);

    bool is_logging_allowed(const Level& statement_level) const { return statement_level >= level; }
    void log_msg(const std::string& message, const Level& statement_level, const char* format);
    std::string format_msg(const std::string& message, const std::string& format, const Level& statement_level);
    // A null format writes messages byte for byte; an empty one writes nothing.
    void add_formatter(const std::string& formatter_id, const char* format);
    const std::string& get_log_file_path() const { return log_file_path; }
    void merge(std::ifstream& input);
    void flush();
    Level get_level() const { return level; }

    static Level level_from_string(const std::string& text);

private:
    void log_at(const Level& statement_level, const std::string& message, const char* formatter_id);

    std::mutex mtx;
    std::unique_ptr<std::ostream> log_file_stream;
    std::string log_file_path;
    Level level;
    std::map<std::string, const char*> formatters;
};

std::ostream& operator<<(std::ostream& out, const Logger::Level& level);

}  // namespace corvane
