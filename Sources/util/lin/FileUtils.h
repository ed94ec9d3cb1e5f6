#pragma once

#include <string>
#include <utility>
#include <vector>

namespace corvane {

// File-system operations for Linux. The path separator is always "/".
class FileUtils {
public:
    FileUtils() = delete;

    // --- Paths and temporary files (need nothing but the error type) ---

    static std::string get_separator() { return "/"; }

    // Joins two or more parts with "/" and removes every trailing "/".
    // Parts may be std::string, C strings or character arrays, in any mix.
    template <typename First, typename Second, typename... Rest>
    static std::string create_path(const First& first, const Second& second, const Rest&... rest) {
        std::string joined;
        append_part(joined, first);
        append_part(joined, second);
        (append_part(joined, rest), ...);
        return strip_trailing_separators(std::move(joined));
    }

    // Creates a new empty file prefix + six generated characters + suffix in
    // temp_dir (mode 0600) and returns its path.
    static std::string get_temporary_file_path(const std::string& prefix, const std::string& suffix,
                                               const char* temp_dir);

    // --- The rest needs the logging facade ---

    static bool file_exists(const std::string& path, bool readable = false, bool writable = false,
                            bool executable = false);
    static void create_directory(const std::string& path, bool include_intermediate = true);
    static void mkdirs(const std::string& path, const char* separators);
    static void create_file(const std::string& folder_path, const std::string& file_name);
    static bool delete_file(const std::string& folder_path, const std::string& file_name);
    static std::string get_user_resource_directory();
    static std::string get_shared_resource_directory();
    static std::string get_user_home_directory();
    static void append_file(const std::string& head_path, const std::string& tail_path);
    // A file chooser for plug-in dialogs; the chosen paths as one text. Only
    // the bridge has one (its headless stand-in answers an empty text).
    static std::string show_file_chooser(const std::string& default_directory_path, bool files_allowed,
                                         bool directories_allowed, bool multiple_selections_allowed,
                                         const std::string& title);

private:
    static void append_part(std::string& joined, const std::string& part) {
        joined += part;
        joined += '/';
    }
    static void append_part(std::string& joined, const char* part) {
        joined += part;
        joined += '/';
    }
    static std::string strip_trailing_separators(std::string path);
};

}  // namespace corvane
