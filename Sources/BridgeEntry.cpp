// The bridge's entry and its dispatch of the host's calls: initialisation,
// idle, session and file ends and shutdown. String requests, which create the
// bridge object, are in BridgeEntryStrings.cpp.
#include "BridgeEntry.h"

#include <fmt/format.h>

#include <cstdio>
#include <exception>

#include "BridgeCallBlock.h"
#include "BridgeObject.h"
#include "BridgeState.h"
#include "FMInitParams.h"
#include "PipeParent.h"
#include "hostsdk/fmx.h"
#include "util/StreamUtils.h"
#include "util/lin/ThreadUtils.h"

namespace corvane {

void on_init(FMX_ExternCallPtr pb) {
    pb->result = kDoNotEnable;
    if (!pipeParent) return;

    FMInitParams init_params;
    init_params.application_type = static_cast<FMX_Application>(pb->parm1);
    init_params.api_version = pb->extnVersion;
    init_params.version_string = pb->parm2;
    init_params.instance_id = pb->instanceID;
    init_params.unsafe_calls = pb->unsafeCalls;
    init_params.c_start_script = pb->cStartScript;
    init_params.c_current_env = pb->cCurrentEnv;
    try {
        pipeParent->init_plugin(init_params, true);
    } catch (const std::exception& error) {
        fmt::print(stderr, "error initializing plugin: {}\n", error.what());
        std::fflush(stderr);
    }
}

// Idle, session and file ends are notices: a child that cannot be reached
// is logged, and the host's call returns normally instead of carrying an
// exception into the host.
void on_idle(FMX_ExternCallPtr pb) {
    if (!pipeParent || pipeParent->g_has_begun_shutdown) return;
    const fmx::ExprEnvUniquePtr environment;
    const int64_t thread_id = ThreadUtils::get_current_thread_id_as_int();
    const FMX_UInt32 idle_level = pb->parm1;
    if (!pipeParent->is_init() || idle_level == kFMXT_Unsafe) return;
    // Nothing can reach a child whose channel broke; idle calls come often,
    // so they pass silently rather than log the same failure each time.
    if (pipeParent->is_channel_broken()) return;

    // This call's own block: another host thread may replace
    // gFMX_ExternCallPtr, and its block may be gone by then.
    const auto body = [idle_level, pb](FILE_PTR out) {
        StreamUtils::putc(static_cast<int8_t>(idle_level), out);
        StreamUtils::putc(static_cast<int8_t>(pb->unsafeCalls), out);
    };
    try {
        pipeParent->send_cmd(CodeToChild::do_idle, pipeParent->get_quad_char(), body, true, thread_id, 0,
                             pb->parm2, *environment);
    } catch (const std::exception& error) {
        LogManager::error("An error occurred relaying the idle call: {}", error.what());
    }
}

void on_session_shutdown(FMX_ExternCallPtr pb) {
    // Without an object no logger exists either: nothing to do or to say.
    if (!pipeParent) return;
    LogManager::debug("sessionShutdown");
    const int64_t thread_id = ThreadUtils::get_current_thread_id_as_int();
    const uint64_t session_id = pb->parm2;
    LogManager::info("Shutting down session. Session ID: {:d} for thread: {:d}", session_id, thread_id);
    if (!pipeParent->is_init()) return;
    const fmx::ExprEnvUniquePtr environment;
    try {
        pipeParent->send_cmd(CodeToChild::session_ended, pipeParent->get_quad_char(), PipeMessageSource(), false,
                             thread_id, 0, session_id, *environment);
    } catch (const std::exception& error) {
        LogManager::error("An error occurred relaying the end of session {:d}: {}", session_id, error.what());
    }
}

void on_file_shutdown(FMX_ExternCallPtr pb) {
    if (!pipeParent) return;
    LogManager::fine("fileShutdown");
    const int64_t thread_id = ThreadUtils::get_current_thread_id_as_int();
    const uint64_t session_id = pb->parm2;
    const uint64_t file_id = pb->parm3;
    LogManager::debug("Shutting down file. Session ID : {:d}", session_id);
    LogManager::info("Shutting down file. File ID: {:d}, on thread: {:d}", file_id, thread_id);
    if (!pipeParent->is_init()) return;
    const fmx::ExprEnvUniquePtr environment;
    try {
        pipeParent->send_cmd(CodeToChild::file_shutdown, pipeParent->get_quad_char(), PipeMessageSource(), false,
                             thread_id, file_id, session_id, *environment);
    } catch (const std::exception& error) {
        LogManager::error("An error occurred relaying the end of file {:d}: {}", file_id, error.what());
    }
}

void on_shutdown() {
    if (pipeParent) {
        pipeParent->g_has_begun_shutdown = true;
        LogManager::info("Beginning shutdown procedures");
        destroy_bridge_object();
    }
    // The wrapper unmaps this code next.
    restore_process_handlers();
}

}  // namespace corvane

void WrapperFMExternCallProc(WrapperFMX_ExternCallStruct* myPb) {
    using namespace corvane;
    install_terminate_handler();
    FMX_ExternCallPtr pb = myPb->pb;
    const ScopedCallBlock call_block(pb);
    if (pipeParent && pipeParent->is_init()) pipeParent->init_params.unsafe_calls = pb->unsafeCalls;

    switch (pb->whichCall) {
        case kFMXT_GetString: on_get_string(*myPb); break;
        case kFMXT_Init: on_init(pb); break;
        case kFMXT_Idle: on_idle(pb); break;
        case kFMXT_SessionShutdown: on_session_shutdown(pb); break;
        case kFMXT_FileShutdown: on_file_shutdown(pb); break;
        case kFMXT_Shutdown: on_shutdown(); break;
        default: break;  // application preferences and codes this bridge does not know
    }
}
