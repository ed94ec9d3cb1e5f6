// A plug-in file loaded the way the host loads it, and the host's calls into
// its FMExternCallProc: each call gets a fresh call block.
#pragma once

#include "DynamicLibrary.h"

#include "hostsdk/CallBlock.h"

#include <stdexcept>
#include <string>

namespace fmhost {

// A plug-in call that ended with an exception instead of returning.
class PluginCallError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class LoadedPlugin {
public:
    // Throws LoadError when the file cannot be loaded or has no FMExternCallProc.
    explicit LoadedPlugin(const std::string& path);

    // The answer to a string request; empty when the plug-in leaves the buffer untouched.
    std::string get_string(FMX_UInt32 string_id) const;
    // The init call's result (kCurrentExtnVersion means enabled).
    FMX_IntPtr initialise(FMX_Application app_type, FMX_Int16 api_version) const;
    void idle(FMX_UInt32 level, FMX_PtrType session_id) const;
    void session_shutdown(FMX_PtrType session_id) const;
    void file_shutdown(FMX_PtrType session_id, FMX_PtrType file_id) const;
    void shutdown() const;
    // See DynamicLibrary::keep_loaded.
    void keep_loaded() noexcept { library_.keep_loaded(); }

    // UTF-16 units the host offers for a string answer, terminator included.
    static constexpr FMX_PtrType kStringBufferUnits = 1024;

private:
    FMX_ExternCallStruct new_call_block(FMX_Int16 which_call) const;
    // Throws PluginCallError when an exception leaves the plug-in.
    void call(FMX_ExternCallStruct& block) const;

    DynamicLibrary library_;
    FMX_ExternCallProc entry_;
};

}  // namespace fmhost
