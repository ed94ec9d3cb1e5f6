#include <fmt/format.h>

#include "PipeParent.h"
#include "exception/TobrinException.h"

namespace corvane {

bool PipeParent::is_channel_broken() const {
    std::lock_guard<std::mutex> state(channel_state_lock);
    return channel_broken;
}

void PipeParent::mark_channel_broken(const std::string& reason) const {
    {
        std::lock_guard<std::mutex> state(channel_state_lock);
        // The first reason is the cause; later ones are its consequences.
        if (channel_broken) return;
        channel_broken = true;
        channel_broken_reason = reason;
    }
    LogManager::error("The channel to the plug-in child process is broken: {}", reason);
}

std::string PipeParent::channel_broken_message() const {
    std::lock_guard<std::mutex> state(channel_state_lock);
    return fmt::format("The channel to the plug-in child process is broken: {}", channel_broken_reason);
}

void PipeParent::throw_if_channel_broken() const {
    if (is_channel_broken()) throw tobrin_exception(channel_broken_message());
}

}  // namespace corvane
