// Owns one handle of the dynamic loader.
#pragma once

#include <stdexcept>
#include <string>

namespace fmhost {

class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DynamicLibrary {
public:
    // Resolves every symbol at once, so that a plug-in with missing symbols
    // fails here rather than in the middle of a call. Throws LoadError.
    explicit DynamicLibrary(const std::string& path);
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Gives up the handle without closing it: the code stays mapped for the
    // life of the process (for code that may still be running).
    void keep_loaded() noexcept { handle_ = nullptr; }

    // Throws LoadError when the library has no such symbol.
    void* symbol(const char* name) const;

private:
    void close() noexcept;

    void* handle_ = nullptr;
};

}  // namespace fmhost
