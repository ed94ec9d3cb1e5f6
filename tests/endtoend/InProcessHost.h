// A plug-in file loaded into this process the way the host loads it, with
// call blocks built by the test: any buffer size, any call code, any flag.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "hostsdk/CallBlock.h"

namespace endtoend {

class InProcessHost {
public:
    // Loads the plug-in file and gives the host a fresh state.
    explicit InProcessHost(const std::string& plugin_path);
    // Unloads the file and removes the bridges it extracted.
    ~InProcessHost();
    InProcessHost(const InProcessHost&) = delete;
    InProcessHost& operator=(const InProcessHost&) = delete;

    // Units of a string request's buffer; before the call each holds `unset`.
    static constexpr FMX_Unichar unset = 0x2A;
    std::vector<FMX_Unichar> string_request(FMX_UInt32 string_id, FMX_PtrType buffer_units,
                                            FMX_Boolean cfm_calls = 0);
    // The answer up to its terminator; empty when the buffer was left alone.
    std::string string_text(FMX_UInt32 string_id);

    FMX_IntPtr init(FMX_Application application_type = kFMXT_Pro, FMX_Int16 api_version = 62);
    void idle(FMX_UInt32 level, FMX_PtrType session_id = 0);
    void session_shutdown(FMX_PtrType session_id);
    void file_shutdown(FMX_PtrType session_id, FMX_PtrType file_id);
    void shutdown();

    // Evaluates a calculation in the host's current environment: the value
    // as text, or "error N".
    std::string evaluate(const std::string& expression);

private:
    FMX_ExternCallStruct call_block(FMX_Int16 which_call) const;
    void call(FMX_ExternCallStruct& block);

    void* library = nullptr;
    FMX_ExternCallProc entry = nullptr;
    std::set<std::string> extracted;
};

}  // namespace endtoend
