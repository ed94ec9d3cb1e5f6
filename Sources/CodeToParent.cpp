#include "CodeToParent.h"

#include <array>
#include <sstream>

namespace corvane {

namespace {

// Indexed by the code's value.
constexpr std::array<const char*, 80> code_names = {
    "finished",
    "clear_memory",
    "unregister_function",
    "register_function",
    "unregister_script_step",
    "register_script_step",
    "get_clipboard_formats",
    "get_clipboard_data",
    "set_clipboard_data",
    "trigger_script",
    "evaluate_expression",
    "execute_sql_11",
    "get_fm_data_as_fm_text",
    "create_fm_text",
    "set_string_data",
    "get_fm_data_as_string",
    "write_fm_text_to_fm_data",
    "create_empty_fm_data",
    "is_empty",
    "get_text_length",
    "get_long_data",
    "get_double_data",
    "get_fm_data_as_fm_binary",
    "get_native_type",
    "get_stream_count",
    "get_stream_type",
    "get_stream_data",
    "add_stream_data",
    "remove_stream",
    "get_stream_size",
    "get_stream_total_size",
    "create_fm_binary",
    "add_stream_fnam",
    "add_stream_size",
    "write_fm_binary_to_fm_data",
    "get_date_time_data_as_seconds",
    "set_date_time_data",
    "create_char_style",
    "set_face",
    "set_font_id",
    "set_font_size",
    "set_color",
    "get_face",
    "get_font_id",
    "get_font_size",
    "create_empty_fm_text",
    "append_bytes_to_fm_text",
    "append_text",
    "set_char_style",
    "get_char_style",
    "get_default_char_style",
    "get_row_vect_size",
    "get_row_vect_data",
    "is_row_vect_empty",
    "get_data_vect_size",
    "get_data_vect_data",
    "execute_sql_13",
    "read_bytes_from_fm_text",
    "get_stream_fnam",
    "create_fm_binary_from_file",
    "create_fm_binary_from_bytes",
    "create_fm_binary_with_context",
    "append_fm_binary_with_context",
    "close_fm_binary_with_context",
    "bring_app_window_to_front",
    "bring_process_window_to_front",
    "set_fm_as_parent_window",
    "show_file_chooser",
    "get_fm_window_coordinates",
    "on_error",
    "show_faux_window",
    "get_active_window_name",
    "store_dll_path",
    "get_manifest_attributes",
    "get_fm_window_handle",
    "enable_fm_window",
    "disable_fm_window",
    "disable_window_management",
    "register_scroll_event",
    "unused",
};

}  // namespace

std::ostream& operator<<(std::ostream& out, CodeToParent code) {
    const auto value = static_cast<int32_t>(code);
    if (value >= 0 && static_cast<size_t>(value) < code_names.size()) out << "CodeToParent::" << code_names[value];
    return out;
}

std::string to_string(CodeToParent code) {
    std::ostringstream printed;
    printed << code;
    return printed.str();
}

}  // namespace corvane
