#pragma once

#include <cstdint>

namespace corvane {

// Commands from the bridge to its child process; an int16 on the wire. Codes
// the bridge never sends still belong to the vocabulary shared with the child.
enum class CodeToChild : int32_t {
    init = 0,
    do_function = 1,
    configure = 2,
    do_idle = 3,
    callback_result = 4,
    session_began = 5,
    session_ended = 6,
    shutdown = 7,
    file_shutdown = 8,
    thread_ended = 9,
    gui_to_back = 10,
    show_error_dialog = 11
};

}  // namespace corvane
