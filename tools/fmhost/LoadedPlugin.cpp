#include "LoadedPlugin.h"

#include "hostsdk/fmx.h"

#include <fmt/format.h>

#include <array>
#include <exception>

namespace fmhost {
namespace {

// The host's version text. A plug-in may keep its address from the init call
// for as long as it is loaded, so it lives as long as the process.
constexpr std::array<FMX_Unichar, 20> kVersionText{'H', 'o', 's', 't', ' ', 'S', 'i', 'm', 'u', 'l',
                                                   'a', 't', 'o', 'r', ' ', '2', '1', '.', '0', 0};

const char* call_name(FMX_Int16 which_call) {
    switch (which_call) {
    case kFMXT_Init: return "init";
    case kFMXT_Idle: return "idle";
    case kFMXT_Shutdown: return "shutdown";
    case kFMXT_GetString: return "string request";
    case kFMXT_SessionShutdown: return "session shutdown";
    case kFMXT_FileShutdown: return "file shutdown";
    default: return "call";
    }
}

}  // namespace

LoadedPlugin::LoadedPlugin(const std::string& path)
    : library_(path), entry_(reinterpret_cast<FMX_ExternCallProc>(library_.symbol("FMExternCallProc"))) {}

FMX_ExternCallStruct LoadedPlugin::new_call_block(FMX_Int16 which_call) const {
    FMX_ExternCallStruct block{};
    block.whichCall = which_call;
    block.entryPoint = entry_;
    block.cStartScript = hostsim::Host::start_script_entry();
    block.cCurrentEnv = hostsim::Host::current_env_entry();
    return block;
}

void LoadedPlugin::call(FMX_ExternCallStruct& block) const {
    try {
        entry_(&block);
    } catch (const std::exception& error) {
        throw PluginCallError(fmt::format("the plug-in's {} ended with an exception: {}", call_name(block.whichCall), error.what()));
    } catch (...) {
        throw PluginCallError(fmt::format("the plug-in's {} ended with an exception", call_name(block.whichCall)));
    }
}

std::string LoadedPlugin::get_string(FMX_UInt32 string_id) const {
    std::array<FMX_Unichar, kStringBufferUnits> buffer{};
    FMX_ExternCallStruct block = new_call_block(kFMXT_GetString);
    block.parm1 = string_id;
    block.parm3 = kStringBufferUnits;
    block.result = reinterpret_cast<FMX_IntPtr>(buffer.data());
    call(block);
    buffer.back() = 0;  // a plug-in that fills the whole buffer still gets a terminated answer
    fmx::Text text;
    text.AssignUnicode(buffer.data());
    return text.GetUTF8();
}

FMX_IntPtr LoadedPlugin::initialise(FMX_Application app_type, FMX_Int16 api_version) const {
    FMX_ExternCallStruct block = new_call_block(kFMXT_Init);
    block.parm1 = app_type;
    block.extnVersion = api_version;
    block.parm2 = reinterpret_cast<FMX_PtrType>(kVersionText.data());
    call(block);
    return block.result;
}

void LoadedPlugin::idle(FMX_UInt32 level, FMX_PtrType session_id) const {
    FMX_ExternCallStruct block = new_call_block(kFMXT_Idle);
    block.parm1 = level;
    block.parm2 = session_id;
    call(block);
}

void LoadedPlugin::session_shutdown(FMX_PtrType session_id) const {
    FMX_ExternCallStruct block = new_call_block(kFMXT_SessionShutdown);
    block.parm2 = session_id;
    call(block);
}

void LoadedPlugin::file_shutdown(FMX_PtrType session_id, FMX_PtrType file_id) const {
    FMX_ExternCallStruct block = new_call_block(kFMXT_FileShutdown);
    block.parm2 = session_id;
    block.parm3 = file_id;
    call(block);
}

void LoadedPlugin::shutdown() const {
    FMX_ExternCallStruct block = new_call_block(kFMXT_Shutdown);
    call(block);
}

}  // namespace fmhost
