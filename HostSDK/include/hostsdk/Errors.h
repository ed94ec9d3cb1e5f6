// Host error numbers returned by the stand-in's operations (0 = no error).
#pragma once

#include "hostsdk/CallBlock.h"

namespace fmx {

enum : FMX_ErrorCode {
    kErrNone = 0,
    kErrGeneric = 1,          // an operation failed without a more precise reason
    kErrOutOfMemory = 2,
    kErrNotFound = 3,         // no such registered function, script step or stream
    kErrInvalidArgument = 5,  // bad index, unknown streaming context, bad parameter
    kErrFileMissing = 100,    // no attached host file of that name
    kErrScriptMissing = 104,  // no declared script of that name
    kErrSQL = 8310            // the SQL engine reported an error
};

}  // namespace fmx
