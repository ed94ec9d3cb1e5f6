#pragma once

#include <cstdint>

#include "hostsdk/CallBlock.h"
#include "wrapperplugin/WrapperCallStruct.h"

// The bridge's entry: the wrapper forwards every host call here, together
// with this entry's own address, by which the bridge finds its own file.
extern "C" {
__attribute__((visibility("default"))) void WrapperFMExternCallProc(WrapperFMX_ExternCallStruct* myPb);
}

namespace corvane {

// Writes text (UTF-8) into the host's UTF-16 buffer of buffer_size units,
// cut to fit and always terminated; a size of 0 or no buffer leaves it alone.
void get_string(uint32_t buffer_size, FMX_Unichar* buffer, const char* text);

// The host's calls, one operation per call code (BridgeEntry*.cpp).
void on_get_string(const WrapperFMX_ExternCallStruct& call);
void on_init(FMX_ExternCallPtr pb);
void on_idle(FMX_ExternCallPtr pb);
void on_session_shutdown(FMX_ExternCallPtr pb);
void on_file_shutdown(FMX_ExternCallPtr pb);
void on_shutdown();

// The terminate handler, the crash handler and the child-exit handler point
// into the bridge's own code, which the wrapper unmaps after the shutdown call;
// restore_process_handlers puts back what the process had before
// (BridgeEntryHandlers.cpp).
void install_terminate_handler();
void restore_process_handlers();

}  // namespace corvane
