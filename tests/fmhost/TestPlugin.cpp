// A tiny plug-in for the simulator's tests: it answers string requests,
// registers a few functions and a script step at initialisation, counts the
// host's event calls and reports them through Test_Events. Setting
// FMHOST_TEST_PLUGIN_DISABLE makes its init call refuse to enable it;
// FMHOST_TEST_PLUGIN_KEEP_REGISTRATIONS makes it forget to withdraw its
// functions at shutdown.
#include "hostsdk/fmx.h"

#include <fmt/format.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

const fmx::QuadChar kPluginId('T', 'E', 'S', 'T');

std::atomic<int> idle_calls{0};
std::atomic<int> session_calls{0};
std::atomic<int> file_calls{0};
std::atomic<int> string_calls{0};

// Written by the host's init, session and file calls, read by Test_Events.
std::mutex state_lock;
struct {
    FMX_UInt32 app_type = 0;
    FMX_Int16 api_version = 0;
    std::string version_text;
    FMX_UInt32 last_idle_level = 0;
    FMX_PtrType last_session = 0;
    FMX_PtrType last_file = 0;
    FMX_StartScriptCall start_script = nullptr;
} state;

void set_text(fmx::Data& result, const std::string& text) { result.SetAsText(fmx::Text(text.c_str()), fmx::Locale()); }

FMX_ErrorCode add(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect& args, fmx::Data& result) {
    result.SetAsNumber(args.At(0).GetAsNumber() + args.At(1).GetAsNumber());
    return 0;
}

FMX_ErrorCode join(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect& args, fmx::Data& result) {
    std::string joined;
    for (FMX_UInt32 i = 0; i < args.Size(); ++i) joined += (i ? "|" : "") + args.At(i).GetAsText().GetUTF8();
    set_text(result, joined);
    return 0;
}

FMX_ErrorCode fail(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect& args, fmx::Data&) {
    return static_cast<FMX_ErrorCode>(args.At(0).GetAsNumber().AsLong());
}

// Names the kind of value the plug-in received and its parts.
FMX_ErrorCode describe(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect& args, fmx::Data& result) {
    const fmx::Data& value = args.At(0);
    const fmx::DateTime& stamp = value.GetAsTimeStamp();
    fmx::FixPt seconds;
    stamp.GetSecsSinceMidnight(seconds);
    std::string description;
    switch (value.GetNativeType()) {
    case fmx::Data::kDTText: description = "text " + value.GetAsText().GetUTF8(); break;
    case fmx::Data::kDTNumber: description = "number " + value.GetAsNumber().AsText(); break;
    case fmx::Data::kDTDate: description = fmt::format("date day {}", stamp.GetDaysSinceEpoch()); break;
    case fmx::Data::kDTTime: description = fmt::format("time second {}", seconds.AsText()); break;
    case fmx::Data::kDTTimeStamp:
        description = fmt::format("timestamp day {} second {}", stamp.GetDaysSinceEpoch(), seconds.AsText());
        break;
    case fmx::Data::kDTBinary: {
        const fmx::BinaryData& container = value.GetBinaryData();
        fmx::Text name;
        container.GetFNAMData(name);
        const FMX_Int32 file = container.GetIndex(fmx::QuadChar("FILE"));
        std::string content(container.GetSize(file), '\0');
        container.GetData(file, 0, static_cast<FMX_UInt32>(content.size()), content.data());
        description = fmt::format("container {} holding {}", name.GetUTF8(), content);
        break;
    }
    default: description = fmt::format("kind {}", static_cast<int>(value.GetNativeType()));
    }
    set_text(result, description);
    return 0;
}

FMX_ErrorCode events(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect&, fmx::Data& result) {
    std::lock_guard<std::mutex> lock(state_lock);
    set_text(result, fmt::format("init app {} api {} version {}; strings {}; idle {} level {}; session-end {}; "
                                 "file-end {}; last session {} file {}",
                                 state.app_type, state.api_version, state.version_text, string_calls.load(),
                                 idle_calls.load(), state.last_idle_level, session_calls.load(), file_calls.load(),
                                 state.last_session, state.last_file));
    return 0;
}

// Test_Trigger(file; script [; parameter]) runs a host script through the
// start-script entry of the init call block and answers its error.
FMX_ErrorCode trigger(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect& args, fmx::Data& result) {
    FMX_StartScriptCall start_script;
    {
        std::lock_guard<std::mutex> lock(state_lock);
        start_script = state.start_script;
    }
    const fmx::Data* parameter = args.Size() > 2 ? &args.At(2) : nullptr;
    const FMX_ErrorCode error = start_script(&args.At(0).GetAsText(), &args.At(1).GetAsText(), kFMXT_Pause, parameter);
    if (error == 0) set_text(result, "started");
    return error;
}

// Test_Eval(expression) asks the host to evaluate an expression.
FMX_ErrorCode evaluate(FMX_Int16, const fmx::ExprEnv& env, const fmx::DataVect& args, fmx::Data& result) {
    return env.Evaluate(args.At(0).GetAsText(), result);
}

FMX_ErrorCode step(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect& args, fmx::Data& result) {
    set_text(result, args.Size() ? "step got " + args.At(0).GetAsText().GetUTF8() : std::string("step got nothing"));
    return 0;
}

struct FunctionSpec {
    FMX_Int16 id;
    const char* name;
    const char* prototype;
    FMX_Int16 min_args;
    FMX_Int16 max_args;
    fmx::ExtPluginType entry;
};

const FunctionSpec kFunctions[] = {
    {1, "Test_Add", "Test_Add( a ; b )", 2, 2, add},
    {2, "Test_Join", "Test_Join( text ; ... )", 1, -1, join},
    {3, "Test_Fail", "Test_Fail( error )", 1, 1, fail},
    {4, "Test_Describe", "Test_Describe( value )", 1, 1, describe},
    {5, "Test_Events", "Test_Events", 0, 0, events},
    {6, "Test_Trigger", "Test_Trigger( file ; script { ; parameter } )", 2, 3, trigger},
    {7, "Test_Eval", "Test_Eval( expression )", 1, 1, evaluate},
};
constexpr FMX_Int16 kStepId = 20;

FMX_IntPtr initialise(const FMX_ExternCallStruct& pb) {
    {
        std::lock_guard<std::mutex> lock(state_lock);
        state.app_type = pb.parm1;
        state.api_version = pb.extnVersion;
        fmx::Text version;
        version.AssignUnicode(reinterpret_cast<const FMX_Unichar*>(pb.parm2));
        state.version_text = version.GetUTF8();
        state.start_script = pb.cStartScript;
    }
    if (std::getenv("FMHOST_TEST_PLUGIN_DISABLE")) return kDoNotEnable;
    for (const FunctionSpec& f : kFunctions)
        fmx::ExprEnv::RegisterExternalFunctionEx(kPluginId, f.id, fmx::Text(f.name), fmx::Text(f.prototype),
                                                 fmx::Text("for tests"), f.min_args, f.max_args,
                                                 fmx::ExprEnv::kMayEvaluateOnServer, f.entry);
    fmx::ExprEnv::RegisterScriptStep(kPluginId, kStepId, fmx::Text("Test Step"),
                                     fmx::Text("<PluginStep><Parameter Type=\"Calc\"/></PluginStep>"),
                                     fmx::Text("for tests"), fmx::ExprEnv::kAllowedOnServer, step);
    return kCurrentExtnVersion;
}

void answer_string(const FMX_ExternCallStruct& pb) {
    ++string_calls;
    const char* answer = nullptr;
    switch (pb.parm1) {
    case kFMXT_NameStr: answer = "Test Plugin"; break;
    case kFMXT_AppConfigStr: answer = "Plug-in for the simulator's tests"; break;
    case kFMXT_OptionsStr: answer = "TEST1nnYnnn"; break;
    default: return;  // the help address stays unanswered
    }
    const fmx::Text text(answer);
    auto* buffer = reinterpret_cast<FMX_Unichar*>(pb.result);
    const FMX_UInt32 size = static_cast<FMX_UInt32>(pb.parm3);
    if (size == 0) return;
    const FMX_UInt32 copied = text.GetUnicode(buffer, 0, size - 1);
    buffer[copied] = 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void FMExternCallProc(FMX_ExternCallPtr pb) {
    switch (pb->whichCall) {
    case kFMXT_GetString: answer_string(*pb); break;
    case kFMXT_Init: pb->result = initialise(*pb); break;
    case kFMXT_Idle: {
        ++idle_calls;
        std::lock_guard<std::mutex> lock(state_lock);
        state.last_idle_level = pb->parm1;
        state.last_session = pb->parm2;
        break;
    }
    case kFMXT_SessionShutdown: {
        ++session_calls;
        std::lock_guard<std::mutex> lock(state_lock);
        state.last_session = pb->parm2;
        break;
    }
    case kFMXT_FileShutdown: {
        ++file_calls;
        std::lock_guard<std::mutex> lock(state_lock);
        state.last_session = pb->parm2;
        state.last_file = pb->parm3;
        break;
    }
    case kFMXT_Shutdown:
        if (std::getenv("FMHOST_TEST_PLUGIN_KEEP_REGISTRATIONS")) break;
        for (const FunctionSpec& f : kFunctions) fmx::ExprEnv::UnRegisterExternalFunction(kPluginId, f.id);
        fmx::ExprEnv::UnRegisterScriptStep(kPluginId, kStepId);
        break;
    default: break;
    }
}
