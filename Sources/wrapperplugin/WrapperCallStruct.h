// The record the wrapper hands to the bridge it loaded: the host's call block
// and the address of the bridge entry being called. The bridge needs that
// address to find its own file, because the call block's entryPoint names the
// wrapper.
#pragma once

#include "hostsdk/CallBlock.h"

struct WrapperFMX_ExternCallStruct;

extern "C" {
typedef void (*WrapperFMX_ExternCallProc)(WrapperFMX_ExternCallStruct* myPb);
}

struct WrapperFMX_ExternCallStruct {
    FMX_ExternCallPtr pb;                       // the host's call block, exactly as received
    WrapperFMX_ExternCallProc actualEntryPoint;  // the bridge entry being called
};
