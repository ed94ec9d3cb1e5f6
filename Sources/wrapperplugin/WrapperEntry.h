// What the host finds in the wrapper: the entry it calls for every event and
// the pointer to the call block of the current call.
#pragma once

#include "hostsdk/CallBlock.h"

#define WRAPPER_EXPORT __attribute__((visibility("default")))

extern "C" {
WRAPPER_EXPORT extern FMX_ExternCallPtr gFMX_ExternCallPtr;
WRAPPER_EXPORT void FMExternCallProc(FMX_ExternCallPtr pb);
}
