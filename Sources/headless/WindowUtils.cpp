#include "headless/WindowUtils.h"

namespace corvane {

// No window system here: nothing to show, raise, enable or disable.

void WindowUtils::show_alert_dialog(const std::string&, const std::string&) {}

void WindowUtils::get_primary_window_coordinates(double& lower_x, double& lower_y, double& upper_x, double& upper_y) {
    lower_x = lower_y = upper_x = upper_y = 0.0;
}

void WindowUtils::reactivate_process(PID_T, bool) {}

std::string WindowUtils::get_active_window_name() { return {}; }

int64_t WindowUtils::get_window_handle() { return 0; }

void WindowUtils::enable_fm_windows() {}

void WindowUtils::disable_fm_windows() {}

}  // namespace corvane
