#pragma once

#include <string>

#include "hostsdk/CallBlock.h"

namespace corvane {

// The host's initialisation parameters, copied from the call block; passed
// by value wherever it goes.
struct FMInitParams {
    FMX_Application application_type = 0;
    FMX_Int16 api_version = 0;
    // Address of the host's UTF-16 version text.
    FMX_PtrType version_string = 0;
    FMX_PtrType instance_id = 0;
    FMX_Boolean unsafe_calls = 0;
    FMX_StartScriptCall c_start_script = nullptr;
    FMX_CurrentEnvCall c_current_env = nullptr;

    // The host's version text in UTF-8: at most the first 256 units, up to the
    // first NUL; empty when the host gave no text.
    std::string get_version_string() const;

    static constexpr size_t max_version_string_units = 256;
};

}  // namespace corvane
