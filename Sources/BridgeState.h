#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace corvane {

class PipeParent;

// Module-level state of the bridge, one set per loaded bridge.

// The central object; null until the host's first string request and again
// after shutdown.
extern std::unique_ptr<PipeParent> pipeParent;
// The plug-in's four-character id from the manifest; empty until the first
// string request.
extern std::string g_quad_char;
// Set for good when the host marks itself a dummy script engine; plug-in
// functions are then recorded but not registered with the host.
extern std::atomic<bool> dummy_script_engine;
// Relays the child's log statements.
extern std::unique_ptr<std::thread> g_logging_thread;

// Keeps frames to the child whole.
extern std::mutex g_output_lock;
// Serialises reads from the child and the pending header; taken before
// g_output_lock, never after it.
extern std::mutex g_input_lock;
// Threads waiting for their part of the child's output sleep on this.
extern std::condition_variable g_message_check;

}  // namespace corvane
