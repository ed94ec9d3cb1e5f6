#include "BridgeState.h"

#include "PipeParent.h"

namespace corvane {

std::unique_ptr<PipeParent> pipeParent;
std::string g_quad_char;
std::atomic<bool> dummy_script_engine{false};
std::unique_ptr<std::thread> g_logging_thread;

std::mutex g_output_lock;
std::mutex g_input_lock;
std::condition_variable g_message_check;

}  // namespace corvane
