#include "DynamicLibrary.h"

#include <fmt/format.h>

#include <dlfcn.h>
#include <utility>

namespace fmhost {
namespace {

std::string loader_error() {
    const char* text = dlerror();
    return text ? text : "unknown loader error";
}

}  // namespace

DynamicLibrary::DynamicLibrary(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) throw LoadError(fmt::format("cannot load {}: {}", path, loader_error()));
}

DynamicLibrary::~DynamicLibrary() { close(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void* DynamicLibrary::symbol(const char* name) const {
    dlerror();
    void* address = dlsym(handle_, name);
    if (!address) throw LoadError(fmt::format("no symbol {}: {}", name, loader_error()));
    return address;
}

void DynamicLibrary::close() noexcept {
    if (handle_) dlclose(std::exchange(handle_, nullptr));
}

}  // namespace fmhost
