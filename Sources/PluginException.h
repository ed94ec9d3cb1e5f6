#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace corvane {

// An error the child reported for a host thread; the bridge keeps the last
// one per thread. Not thrown: it is a record, hence no exception base.
class plugin_exception {
public:
    enum ErrorLevel : int32_t { SEVERE = 0, WARNING = 1, INFO = 2 };

    plugin_exception(std::string msg, ErrorLevel error_level, bool is_expired)
        : msg(std::move(msg)), error_level(error_level), is_expired(is_expired) {}

    ErrorLevel get_error_level() const { return error_level; }

    const std::string msg;
    const ErrorLevel error_level;
    bool is_expired;
};

}  // namespace corvane
