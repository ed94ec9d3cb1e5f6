#include "BridgeCallBlock.h"

FMX_ExternCallPtr gFMX_ExternCallPtr = nullptr;

namespace corvane {

namespace {
thread_local FMX_ExternCallPtr thread_call_block = nullptr;
}  // namespace

FMX_ExternCallPtr current_call_block() { return thread_call_block; }

ScopedCallBlock::ScopedCallBlock(FMX_ExternCallPtr pb) : previous(thread_call_block) {
    gFMX_ExternCallPtr = pb;
    thread_call_block = pb;
}

ScopedCallBlock::~ScopedCallBlock() { thread_call_block = previous; }

}  // namespace corvane
