#pragma once

#include "hostsdk/CallBlock.h"

// The host's call block of the current call, under the name the host's
// plug-in convention gives it. Exported by the bridge object.
extern "C" {
__attribute__((visibility("default"))) extern FMX_ExternCallPtr gFMX_ExternCallPtr;
}

namespace corvane {

// The call block of the host call that the calling thread is serving; null
// outside a call. Unlike gFMX_ExternCallPtr, which any host thread may
// overwrite at any moment, it always names this thread's own block, so an
// answer is never written into another call's block.
FMX_ExternCallPtr current_call_block();

// Marks the host call the calling thread serves for the life of the object:
// sets gFMX_ExternCallPtr and this thread's current call block, and restores
// the thread's previous block (a nested call) when it ends.
class ScopedCallBlock {
public:
    explicit ScopedCallBlock(FMX_ExternCallPtr pb);
    ~ScopedCallBlock();
    ScopedCallBlock(const ScopedCallBlock&) = delete;
    ScopedCallBlock& operator=(const ScopedCallBlock&) = delete;

private:
    FMX_ExternCallPtr previous;
};

}  // namespace corvane
