#pragma once

#include <memory>

#include "util/LogManager.h"

namespace corvane {
namespace fuzzing {

// The code under test logs through the static facade, which needs a default
// logger. Statements are formatted (so format errors still show) but none is
// written: a log of every input would only slow the fuzzer down.
inline void install_quiet_log() {
    static const bool installed = [] {
        LogManager::configure_logger("fuzz", std::make_shared<Logger>("/dev/null", Logger::OFF), "{}: {}\n");
        LogManager::set_default_logger_name(LoggerName("fuzz"));
        return true;
    }();
    (void)installed;
}

}  // namespace fuzzing
}  // namespace corvane
