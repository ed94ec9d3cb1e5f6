// The process-wide handlers of the bridge point into its own code, which the
// wrapper unmaps after the shutdown call, so shutdown puts back what the
// process had before.
#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <exception>

#include "BridgeEntry.h"
#include "SignalHandling.h"

namespace corvane {

namespace {

[[noreturn]] void abort_on_terminate() noexcept { std::abort(); }

std::atomic<std::terminate_handler> previous_terminate_handler{nullptr};
std::atomic<bool> previous_terminate_handler_saved{false};

// False for a handler whose object has been unloaded since it was saved: the
// bridge of another plug-in in this process, for example.
bool is_loaded_code(std::terminate_handler handler) {
    Dl_info info{};
    return handler != nullptr && dladdr(reinterpret_cast<const void*>(handler), &info) != 0;
}

}  // namespace

void install_terminate_handler() {
    const std::terminate_handler previous = std::set_terminate(abort_on_terminate);
    // Only the handler from before the bridge's first call is worth keeping.
    if (previous != abort_on_terminate && !previous_terminate_handler_saved.exchange(true))
        previous_terminate_handler = previous;
}

void restore_process_handlers() {
    restore_crash_handlers();
    restore_child_handler();
    if (!previous_terminate_handler_saved.exchange(false)) return;
    // A handler installed after ours belongs to someone else and stays.
    if (std::get_terminate() != abort_on_terminate) return;
    const std::terminate_handler previous = previous_terminate_handler.load();
    // Without a handler to go back to, the runtime's default one serves.
    std::set_terminate(is_loaded_code(previous) ? previous : nullptr);
}

}  // namespace corvane
