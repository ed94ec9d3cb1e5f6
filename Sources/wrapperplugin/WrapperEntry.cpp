// The host's entry into the wrapper: loads the bridge out of the wrapper's own
// file on the first call of a load and forwards every call to it.
#include "WrapperEntry.h"

#include <dlfcn.h>
#include <fmt/format.h>

#include <exception>
#include <memory>
#include <string>

#include "WrapperCallStruct.h"
#include "WrapperPlugin.h"
#include "util/lin/FileUtils.h"

FMX_ExternCallPtr gFMX_ExternCallPtr = nullptr;

namespace {

// The loaded bridge. No lock: the host makes the first call of a load and the
// shutdown call while no other call is inside the entry.
WrapperFMX_ExternCallProc actualPlugin = nullptr;
// Deliberately not an owner that closes at exit: a bridge still loaded when
// the process ends may have threads running, and unmapping its code under them
// would crash the host on its way out. It is closed after a forwarded shutdown.
void* handle = nullptr;

struct LibraryCloser {
    void operator()(void* library) const noexcept { dlclose(library); }
};
using LibraryHandle = std::unique_ptr<void, LibraryCloser>;

const char* loader_error_text() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown error";
}

void print_bridge_location(FMX_ExternCallPtr pb) {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(actualPlugin), &info) != 0 && info.dli_fname != nullptr) {
        fmt::print("entryPoint@{}\n", reinterpret_cast<const void*>(pb->entryPoint));
        fmt::print("Plugin path location: {}\n", info.dli_fname);
    } else {
        corvane::print_plugin_path_error();
    }
}

// Extracts the bridge into a new file in /tmp, loads it and looks up its
// entry. False when the dynamic loader refused it: the call is then dropped
// and the next one tries again.
bool load_bridge(FMX_ExternCallPtr pb) {
    const corvane::WrapperPlugin splitter;
    const std::string passthroughFilePath = splitter.getFilePathForCurrentLibrary(pb);
    const std::string extractedPluginPath =
        corvane::FileUtils::get_temporary_file_path("actualPlugin", ".fmx", "/tmp");
    splitter.splitFilesApart(passthroughFilePath, extractedPluginPath);

    LibraryHandle library(dlopen(extractedPluginPath.c_str(), RTLD_LAZY));
    if (!library) {
        fmt::print(stderr, "Cannot open library: {}\n", loader_error_text());
        return false;
    }

    dlerror();
    void* entry = dlsym(library.get(), "WrapperFMExternCallProc");
    const char* dlsym_error = dlerror();
    if (dlsym_error != nullptr || entry == nullptr) {
        fmt::print(stderr, "Cannot load symbol 'PipeParent': {}\n",
                   dlsym_error != nullptr ? dlsym_error : "the entry has a null address");
        return false;
    }

    actualPlugin = reinterpret_cast<WrapperFMX_ExternCallProc>(entry);
    handle = library.release();
    print_bridge_location(pb);
    return true;
}

void unload_bridge() {
    if (dlclose(handle) != 0) fmt::print(stderr, "Could not close handle to library: {}\n", loader_error_text());
    handle = nullptr;
    actualPlugin = nullptr;
}

}  // namespace

void FMExternCallProc(FMX_ExternCallPtr pb) {
    gFMX_ExternCallPtr = pb;
    if (actualPlugin == nullptr && !load_bridge(pb)) return;

    WrapperFMX_ExternCallStruct wrapperPb{pb, actualPlugin};
    try {
        actualPlugin(&wrapperPb);
    } catch (const std::exception& error) {
        fmt::print(stderr, "Error from plugin function: {}\n", error.what());
        throw std::exception(error);
    }

    if (pb->whichCall == kFMXT_Shutdown) unload_bridge();
}
