#pragma once

#include <cstdint>
#include <exception>
#include <ostream>
#include <string>

namespace corvane {

// The one error type of the bridge and its library: a message, an optional
// error number and the stack trace of the place that built it, so a failure
// that reaches the host boundary can be logged with its origin.
class tobrin_exception : public std::exception {
public:
    explicit tobrin_exception(const std::string& message);
    tobrin_exception(std::string message, int code);
    tobrin_exception(const tobrin_exception&) = default;
    tobrin_exception(tobrin_exception&&) noexcept = default;
    tobrin_exception& operator=(const tobrin_exception&) = delete;
    ~tobrin_exception() override;

    const char* what() const noexcept override;
    int code() const noexcept { return _code; }
    const std::string& stacktrace() const noexcept { return _stacktrace; }

    // Writes the module's load base and at most max_frames return addresses
    // of the calling thread, innermost first.
    static void get_stacktrace(std::ostream& out, uint32_t max_frames);

    static constexpr uint32_t stacktrace_depth = 63;

private:
    const std::string msg;
    int32_t _code;
    std::string _stacktrace;
};

}  // namespace corvane
