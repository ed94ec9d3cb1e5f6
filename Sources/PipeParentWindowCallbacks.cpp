// Callbacks for window and desktop services: raising windows, enabling and
// disabling the host's windows around plug-in dialogs, choosing files, and
// the coordinates, name and handle of the host's windows. The services
// themselves belong to WindowUtils and FileUtils::show_file_chooser.

#include <cstring>
#include <string>
#include <vector>

#include "FMUtils.h"
#include "PipeParent.h"
#include "headless/WindowUtils.h"
#include "util/lin/FileUtils.h"

namespace corvane {

namespace {

using Units = std::vector<uint16_t>;

std::string to_utf8(const Units& units) { return utf16_to_utf8_string(std::u16string(units.begin(), units.end())); }

Units to_units(const std::string& utf8) {
    const std::u16string text = utf8_to_utf16_string(utf8);
    return Units(text.begin(), text.end());
}

bool read_flag(FILE_PTR in) { return StreamUtils::get_c(in) != 0; }

int64_t bits_of(double value) {
    int64_t bits = 0;
    static_assert(sizeof bits == sizeof value, "a double travels as the 64 bits of its IEEE 754 pattern");
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

PipeParent::PreparedCallback answer_nothing() {
    return [] { return CallbackReply(); };
}

void enable_fm_windows() {
    WindowUtils::enable_fm_windows();
    LogManager::info("Enabled Windows in FileMaker");
}

}  // namespace

// The host raises and parents its own windows on this platform.
PipeParent::PreparedCallback PipeParent::on_bring_app_window_to_front(const CallbackRequest&) {
    return answer_nothing();
}

PipeParent::PreparedCallback PipeParent::on_bring_process_window_to_front(const CallbackRequest&) {
    return answer_nothing();
}

PipeParent::PreparedCallback PipeParent::on_set_fm_as_parent_window(const CallbackRequest&) {
    return answer_nothing();
}

PipeParent::PreparedCallback PipeParent::on_show_file_chooser(const CallbackRequest&) {
    Units default_directory_path = StreamUtils::read_unicode_bytes(parent_read_fp);
    const bool files_allowed = read_flag(parent_read_fp);
    const bool directories_allowed = read_flag(parent_read_fp);
    const bool multiple_selections_allowed = read_flag(parent_read_fp);
    Units title = StreamUtils::read_unicode_bytes(parent_read_fp);
    return [default_directory_path = std::move(default_directory_path), files_allowed, directories_allowed,
            multiple_selections_allowed, title = std::move(title)] {
        CallbackReply reply;
        const std::string chosen_files =
            FileUtils::show_file_chooser(to_utf8(default_directory_path), files_allowed, directories_allowed,
                                         multiple_selections_allowed, to_utf8(title));
        reply.add_text(to_units(chosen_files));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_fm_window_coordinates(const CallbackRequest&) {
    return [] {
        CallbackReply reply;
        double lower_x = 0.0;
        double lower_y = 0.0;
        double upper_x = 0.0;
        double upper_y = 0.0;
        WindowUtils::get_primary_window_coordinates(lower_x, lower_y, upper_x, upper_y);
        reply.add_int64(bits_of(lower_x)).add_int64(bits_of(lower_y)).add_int64(bits_of(upper_x));
        reply.add_int64(bits_of(upper_y));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_show_faux_window(const CallbackRequest&) {
    return [this] {
        WindowUtils::reactivate_process(child_process_id, true);
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_get_active_window_name(const CallbackRequest&) {
    return [] {
        CallbackReply reply;
        reply.add_text(to_units(WindowUtils::get_active_window_name()));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_fm_window_handle(const CallbackRequest&) {
    return [] {
        CallbackReply reply;
        const int64_t handle = WindowUtils::get_window_handle();
        LogManager::info("Retrieved window handle {:X}", handle);
        reply.add_int64(handle);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_enable_fm_window(const CallbackRequest&) {
    return [] {
        enable_fm_windows();
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_disable_fm_window(const CallbackRequest&) {
    return [] {
        WindowUtils::disable_fm_windows();
        LogManager::info("Disabled Windows in FileMaker");
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_disable_window_management(const CallbackRequest&) {
    return [this] {
        window_management_enabled = false;
        LogManager::info("Disabled Window Management for Plugin Dialogs");
        return CallbackReply();
    };
}

// The same effect as enable_fm_window.
PipeParent::PreparedCallback PipeParent::on_register_scroll_event(const CallbackRequest&) {
    return [] {
        enable_fm_windows();
        return CallbackReply();
    };
}

}  // namespace corvane
