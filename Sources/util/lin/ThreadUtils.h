#pragma once

#include <cstdint>
#include <string>
#include <thread>

namespace corvane {

// Thread identities as integers (the protocol tags every message with one)
// and thread names.
class ThreadUtils {
public:
    ThreadUtils() = delete;

    static int64_t get_thread_id_as_int(const std::thread::id& id);
    static int64_t get_current_thread_id_as_int();
    static std::string get_current_thread_name();
};

}  // namespace corvane
