#pragma once

#include "hostsdk/fmx.h"

namespace corvane {

// The host's entry for every plug-in function and script step the child
// registered: relays the call to the child, serves the child's callbacks on
// the call's values while it works, and returns the low 16 bits of the
// child's result, or -1 when the call could not be completed. Never throws.
// C linkage and default visibility: the host and the bridge's entry find it
// by its plain name even though the bridge hides everything else.
extern "C" __attribute__((visibility("default"))) FMX_ErrorCode do_function(FMX_Int16 plugin_function_id,
                                                                           const fmx::ExprEnv& environment,
                                                                           const fmx::DataVect& dataVect,
                                                                           fmx::Data& result);

}  // namespace corvane
