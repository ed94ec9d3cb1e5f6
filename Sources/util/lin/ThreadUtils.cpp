#include "util/lin/ThreadUtils.h"

#include <pthread.h>

#include <array>
#include <sstream>

namespace corvane {

int64_t ThreadUtils::get_thread_id_as_int(const std::thread::id& id) {
    std::ostringstream text;
    text << id;
    return std::stoll(text.str(), nullptr, 0);
}

int64_t ThreadUtils::get_current_thread_id_as_int() {
    // The identity of a thread never changes, so the text round trip is paid
    // once per thread instead of once per message.
    thread_local const int64_t id = get_thread_id_as_int(std::this_thread::get_id());
    return id;
}

std::string ThreadUtils::get_current_thread_name() {
    std::array<char, 64> name{};
    if (pthread_getname_np(pthread_self(), name.data(), name.size()) != 0) return {};
    return std::string(name.data());
}

}  // namespace corvane
