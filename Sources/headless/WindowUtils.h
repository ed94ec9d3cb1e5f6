#pragma once

#include <cstdint>
#include <string>

#include "util/lin/ProcessUtils.h"

namespace corvane {

// Window and desktop services the bridge asks for on behalf of the plug-in.
// This platform has no window system to offer them: the implementation in
// this folder is the headless stand-in, which answers empty texts, zero
// coordinates and a zero handle and does nothing for the other requests.
class WindowUtils {
public:
    // An alert with a title and a message; desktop hosts only.
    static void show_alert_dialog(const std::string& title, const std::string& message);
    static void get_primary_window_coordinates(double& lower_x, double& lower_y, double& upper_x, double& upper_y);
    static void reactivate_process(PID_T process_id, bool bring_all_windows);
    static std::string get_active_window_name();
    static int64_t get_window_handle();
    static void enable_fm_windows();
    static void disable_fm_windows();
};

}  // namespace corvane
