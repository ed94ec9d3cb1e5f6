#pragma once

// Scratch folders, a pipe standing in for the child's standard error, and a
// bridge object whose log folders all point into scratch space.

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BridgeState.h"
#include "PipeParent.h"
#include "util/TestLogging.h"
#include "util/lin/UniqueFd.h"

namespace corvane {
namespace testing {

// A fresh folder under /tmp, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        std::string name = "/tmp/logfiles_XXXXXX";
        if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = name;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string operator/(const std::string& relative) const { return path + "/" + relative; }

    std::string path;
};

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

inline void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// True for a time stamp of the native format in the C locale, such as
// "Dec 09, 2026 01:12:06 AM".
inline bool is_time_stamp(const std::string& text) {
    const std::string shape = "Xxx 00, 0000 00:00:00 XM";
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool fits = shape[i] == 'X'   ? std::isupper(c) != 0
                          : shape[i] == 'x' ? std::islower(c) != 0
                          : shape[i] == '0' ? std::isdigit(c) != 0
                                            : text[i] == shape[i];
        if (!fits) return false;
    }
    return text[22] == 'A' || text[22] == 'P';
}

// The log with the time-stamp line of every native statement removed, so
// what remains can be compared whole. A malformed stamp line stays, and so
// makes the comparison fail.
inline std::string without_time_stamps(const std::string& log) {
    const std::string line_end = " C++ <Native>\n";
    const size_t stamp_size = 24;
    std::string kept;
    size_t from = 0;
    for (size_t found; (found = log.find(line_end, from)) != std::string::npos; from = found + line_end.size()) {
        const bool stamped = found >= from + stamp_size && is_time_stamp(log.substr(found - stamp_size, stamp_size));
        kept += stamped ? log.substr(from, found - stamp_size - from) : log.substr(from, found + line_end.size() - from);
    }
    return kept + log.substr(from);
}

// The child's standard error: the bridge owns the read end as it owns the
// stream the launch opens, the test writes and closes the other end.
class ErrPipe {
public:
    explicit ErrPipe(PipeParent& parent) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        writer.reset(ends[1]);
        parent.parent_err_fd = ends[0];
        parent.parent_err_fp = fdopen(ends[0], "r");
        parent.parent_err_fp_ref_ct = 1;
    }

    void write(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(writer.get(), bytes.data() + done, bytes.size() - done);
            if (n <= 0) throw std::runtime_error("write to the bridge failed");
            done += static_cast<size_t>(n);
        }
    }
    // The child closes its standard error (or exits).
    void close_writer() { writer.reset(); }

    UniqueFd writer;
};

// Forgets the loggers a test registered and gives the default back.
class LoggerNames {
public:
    explicit LoggerNames(std::initializer_list<std::string> names)
        : names(names), previous_default(LogManager::get_default_logger_name()) {}
    ~LoggerNames() {
        for (const std::string& name : names) LogManager::clear_logger(name);
        LogManager::set_default_logger_name(previous_default);
    }
    LoggerNames(const LoggerNames&) = delete;
    LoggerNames& operator=(const LoggerNames&) = delete;

private:
    std::vector<std::string> names;
    LoggerName previous_default;
};

// A bridge object whose marker, start-up and server log folders lie in a
// scratch folder. The relay, if a test started one, is stopped before the
// object goes.
class LogFilesTest : public ::testing::Test {
protected:
    LogFilesTest() { point_at_scratch(parent); }
    ~LogFilesTest() override { parent.terminate_logging_thread(); }

    void point_at_scratch(PipeParent& object) {
        object.marker_dir = marker_dir;
        object.startup_log_dir = scratch.path;
        object.server_log_dir = server_dir;
        object.user_home_dir = scratch / "home";
        // The caller's own account: the folder can be given to it without
        // privileges, and nothing is missing.
        object.server_log_user = getpwuid(geteuid())->pw_name;
        object.server_log_group = getgrgid(getegid())->gr_name;
        object.quad_char = "Abcd";
        object.plugin_name = "My Plugin";
    }

    ScratchDir scratch;
    const std::string marker_dir = scratch / "marker";
    const std::string server_dir = scratch / "opt/Logs/VelmoraPlugin Logs";
    ScopedTestLog log;
    LoggerNames names{"temp_Abcd", "cpp_Abcd", "java_Abcd"};
    PipeParent parent;
};

}  // namespace testing
}  // namespace corvane
