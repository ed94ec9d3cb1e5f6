#include "util/LogManager.h"

#include <iostream>

namespace corvane {

LoggerName LogManager::default_logger_name("default");
std::map<std::string, std::shared_ptr<Logger>> LogManager::logger_map;

void LogManager::set_default_logger_name(const LoggerName& name) { default_logger_name = name; }

const LoggerName& LogManager::get_default_logger_name() { return default_logger_name; }

void LogManager::configure_logger(const std::string& name, const std::shared_ptr<Logger>& logger,
                                  const char* format) {
    logger->add_formatter(name, format);
    logger_map[name] = logger;
}

void LogManager::clear_logger(const std::string& name) {
    if (logger_map.find(name) == logger_map.end()) return;
    if (logger_map.erase(name) == 0)
        std::cerr << "Unable to erase logger pointer identified by " << name << " key" << std::endl;
}

std::shared_ptr<Logger> LogManager::get_logger(const std::string& name) {
    const auto found = logger_map.find(name);
    return found == logger_map.end() ? nullptr : found->second;
}

void LogManager::write(Logger::Level level, fmt::string_view format, fmt::format_args args) {
    const std::string& name = default_logger_name.name();
    Logger& logger = *logger_map.at(name);  // a missing logger fails before anything is formatted
    dispatch(logger, name, level, fmt::vformat(format, args));
}

void LogManager::info(fmt::string_view format, const LoggerName& target) {
    Logger& logger = *logger_map.at(target.name());
    dispatch(logger, target.name(), Logger::INFO, fmt::vformat(format, fmt::format_args()));
}

void LogManager::dispatch(Logger& logger, const std::string& name, Logger::Level level, std::string message) {
    const char* id = name.c_str();
    switch (level) {
        case Logger::SEVERE: logger.severe(std::move(message), id); break;
        case Logger::WARNING: logger.warning(std::move(message), id); break;
        case Logger::INFO: logger.info(std::move(message), id); break;
        case Logger::CONFIG: logger.config(std::move(message), id); break;
        case Logger::FINE: logger.fine(std::move(message), id); break;
        default: break;
    }
}

}  // namespace corvane
