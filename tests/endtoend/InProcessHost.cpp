#include "InProcessHost.h"

#include <dlfcn.h>

#include <array>
#include <stdexcept>

#include "EndToEnd.h"
#include "hostsdk/Host.h"
#include "hostsdk/fmx.h"

namespace endtoend {

namespace {

// The host's version text; a plug-in may keep its address while loaded.
constexpr std::array<FMX_Unichar, 13> version_text{'E', 'n', 'd', ' ', 't', 'o', ' ', 'e', 'n', 'd', ' ', '1', 0};

}  // namespace

InProcessHost::InProcessHost(const std::string& plugin_path) {
    hostsim::Host::instance().reset();
    library = dlopen(plugin_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) throw std::runtime_error(std::string("cannot load the plug-in: ") + dlerror());
    entry = reinterpret_cast<FMX_ExternCallProc>(dlsym(library, "FMExternCallProc"));
    if (entry == nullptr) throw std::runtime_error("the plug-in has no FMExternCallProc");
}

InProcessHost::~InProcessHost() {
    dlclose(library);
    remove_files(extracted);
}

FMX_ExternCallStruct InProcessHost::call_block(FMX_Int16 which_call) const {
    FMX_ExternCallStruct block{};
    block.whichCall = which_call;
    block.entryPoint = entry;
    block.cStartScript = hostsim::Host::start_script_entry();
    block.cCurrentEnv = hostsim::Host::current_env_entry();
    return block;
}

void InProcessHost::call(FMX_ExternCallStruct& block) {
    entry(&block);
    // Recorded while loaded: the wrapper unloads the bridge after shutdown.
    for (const auto& path : loaded_extracted_bridges()) extracted.insert(path);
}

std::vector<FMX_Unichar> InProcessHost::string_request(FMX_UInt32 string_id, FMX_PtrType buffer_units,
                                                       FMX_Boolean cfm_calls) {
    // One unit more than offered, to see that nothing is written past the end.
    std::vector<FMX_Unichar> buffer(buffer_units + 1, unset);
    FMX_ExternCallStruct block = call_block(kFMXT_GetString);
    block.parm1 = string_id;
    block.parm3 = buffer_units;
    block.cfmCalls = cfm_calls;
    block.result = reinterpret_cast<FMX_IntPtr>(buffer.data());
    call(block);
    return buffer;
}

std::string InProcessHost::string_text(FMX_UInt32 string_id) {
    const auto buffer = string_request(string_id, 1024);
    if (buffer.front() == unset) return {};
    fmx::Text text;
    text.AssignUnicode(buffer.data());
    return text.GetUTF8();
}

FMX_IntPtr InProcessHost::init(FMX_Application application_type, FMX_Int16 api_version) {
    FMX_ExternCallStruct block = call_block(kFMXT_Init);
    block.parm1 = application_type;
    block.extnVersion = api_version;
    block.parm2 = reinterpret_cast<FMX_PtrType>(version_text.data());
    call(block);
    return block.result;
}

void InProcessHost::idle(FMX_UInt32 level, FMX_PtrType session_id) {
    FMX_ExternCallStruct block = call_block(kFMXT_Idle);
    block.parm1 = level;
    block.parm2 = session_id;
    call(block);
}

void InProcessHost::session_shutdown(FMX_PtrType session_id) {
    FMX_ExternCallStruct block = call_block(kFMXT_SessionShutdown);
    block.parm2 = session_id;
    call(block);
}

void InProcessHost::file_shutdown(FMX_PtrType session_id, FMX_PtrType file_id) {
    FMX_ExternCallStruct block = call_block(kFMXT_FileShutdown);
    block.parm2 = session_id;
    block.parm3 = file_id;
    call(block);
}

void InProcessHost::shutdown() {
    FMX_ExternCallStruct block = call_block(kFMXT_Shutdown);
    call(block);
}

std::string InProcessHost::evaluate(const std::string& expression) {
    const fmx::ExprEnv environment = hostsim::Host::instance().current_environment();
    fmx::Data result;
    const FMX_ErrorCode error = hostsim::evaluate_expression(fmx::Text(expression.c_str()), environment, result);
    if (error != 0) return "error " + std::to_string(error);
    return result.GetAsText().GetUTF8();
}

}  // namespace endtoend
