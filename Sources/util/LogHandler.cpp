#include "util/LogHandler.h"

#include <fmt/format.h>

#include <cstring>
#include <ctime>
#include <iostream>
#include <sstream>
#include <vector>

#include "exception/TobrinException.h"
#include "util/stringutils.h"

namespace corvane {

Logger::Logger() : Logger(INFO) {}

Logger::Logger(const Level& threshold)
    : log_file_stream(std::make_unique<std::ostream>(std::cout.rdbuf())), level(threshold) {}

Logger::Logger(const std::string& path) : Logger(path, INFO) {}

Logger::Logger(const std::string& path, const Level& threshold)
    : log_file_stream(std::make_unique<std::ofstream>(path, std::ios::out | std::ios::app | std::ios::binary)),
      log_file_path(path),
      level(threshold) {}

Logger::Logger(const Logger& other) : Logger(other.log_file_path, INFO) {}

Logger::~Logger() = default;

void Logger::log_at(const Level& statement_level, const std::string& message, const char* formatter_id) {
    if (!is_logging_allowed(statement_level)) return;
    log_msg(message, statement_level, formatters.at(formatter_id ? formatter_id : ""));
}

void Logger::severe(std::string message, const char* id) { log_at(SEVERE, message, id); }
void Logger::warning(std::string message, const char* id) { log_at(WARNING, message, id); }
void Logger::info(std::string message, const char* id) { log_at(INFO, message, id); }
void Logger::config(std::string message, const char* id) { log_at(CONFIG, message, id); }
void Logger::fine(std::string message, const char* id) { log_at(FINE, message, id); }
void Logger::finer(std::string message, const char* id) { log_at(FINER, message, id); }
void Logger::finest(std::string message, const char* id) { log_at(FINEST, message, id); }

void Logger::log_msg(const std::string& message, const Level& statement_level, const char* format) {
    std::lock_guard<std::mutex> lock(mtx);
    auto report = [&](const char* what, const char* reason) {
        const std::string text = fmt::format("{}\"{}\": {}", what, message, reason);
        std::cerr << text << std::endl;
        throw tobrin_exception(text);
    };
    try {
        if (format == nullptr)
            log_file_stream->write(message.data(), static_cast<std::streamsize>(message.size()));
        else
            *log_file_stream << format_msg(message, format, statement_level);
    } catch (const fmt::format_error& e) {
        report("A format error occurred while trying to log msg ", e.what());
    } catch (const std::exception& e) {
        report("An unexpected error occurred while trying to log msg ", e.what());
    }
    log_file_stream->flush();
}

std::string Logger::format_msg(const std::string& message, const std::string& format, const Level& statement_level) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);

    std::string stamped;
    if (!format.empty()) {
        std::vector<char> buffer(1024);
        size_t produced = 0;
        // strftime answers 0 both for "too small" and for an expansion that is
        // legitimately empty; stop doubling at a size no format can need.
        while ((produced = std::strftime(buffer.data(), buffer.size(), format.c_str(), &local)) == 0 &&
               buffer.size() < 64 * 1024 + format.size() * 64)
            buffer.resize(buffer.size() * 2);
        stamped.assign(buffer.data(), produced);
    }

    std::ostringstream level_text;
    level_text << statement_level;
    return fmt::format(fmt::runtime(stamped), level_text.str(), message);
}

void Logger::add_formatter(const std::string& formatter_id, const char* format) {
    formatters[formatter_id] = format;
}

void Logger::merge(std::ifstream& input) {
    *log_file_stream << input.rdbuf();
    log_file_stream->flush();
}

void Logger::flush() {
    std::lock_guard<std::mutex> lock(mtx);
    log_file_stream->flush();
}

Logger::Level Logger::level_from_string(const std::string& text) {
    static const std::pair<const char*, Level> names[] = {
        {"OFF", OFF},   {"SEVERE", SEVERE}, {"WARNING", WARNING}, {"INFO", INFO}, {"CONFIG", CONFIG},
        {"FINE", FINE}, {"FINER", FINER},   {"FINEST", FINEST},   {"ALL", ALL}};
    const std::string upper = stringutils::to_upper(text);
    for (const auto& [name, value] : names)
        if (upper == name) return value;
    throw tobrin_exception("Invalid logging level");
}

std::ostream& operator<<(std::ostream& out, const Logger::Level& level) {
    const char* qualified = "";
    switch (level) {
        case Logger::SEVERE: qualified = "Level::SEVERE"; break;
        case Logger::WARNING: qualified = "Level::WARNING"; break;
        case Logger::INFO: qualified = "Level::INFO"; break;
        case Logger::CONFIG: qualified = "Level::CONFIG"; break;
        case Logger::FINE: qualified = "Level::FINE"; break;
        case Logger::FINER: qualified = "Level::FINER"; break;
        case Logger::FINEST: qualified = "Level::FINEST"; break;
        default: break;
    }
    return out << stringutils::substitute(qualified, "Level::", "");
}

}  // namespace corvane
