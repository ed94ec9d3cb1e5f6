#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace corvane {
namespace testing {

// A fresh directory under /tmp, removed with everything in it.
class ScopedTempDir {
public:
    ScopedTempDir() {
        std::string pattern = "/tmp/corvane_test_XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~ScopedTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    std::string file(const std::string& name) const { return path + "/" + name; }

    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream out(file(name), std::ios::binary);
        out << content;
        return file(name);
    }

    std::string path;
};

inline std::string read_whole_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Builds dir/name with the JDK's jar tool from a manifest text (none at all
// when it is empty) and the given files, all written into dir first. Returns
// the archive's path, or "" (with a test failure) when the tool fails.
inline std::string make_jar(const ScopedTempDir& dir, const std::string& name, const std::string& manifest,
                            const std::map<std::string, std::string>& files) {
    std::string command = "cd '" + dir.path + "' && '" TEST_JAR_TOOL "' ";
    if (manifest.empty()) {
        command += "cfM '" + name + "'";
    } else {
        dir.write("manifest.txt", manifest);
        command += "cfm '" + name + "' manifest.txt";
    }
    for (const auto& [file_name, content] : files) {
        dir.write(file_name, content);
        command += " '" + file_name + "'";
    }
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    return status == 0 ? dir.file(name) : std::string();
}

// An executable image with the archive appended, as the bridge file is built.
inline std::string append_to_executable(const ScopedTempDir& dir, const std::string& jar_path,
                                        const std::string& name, const std::string& image = "/bin/true") {
    return dir.write(name, read_whole_file(image) + read_whole_file(jar_path));
}

}  // namespace testing
}  // namespace corvane
