#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace corvane {

// Messages from the child process to the bridge: the final answer of an
// exchange (finished) and the callbacks the child makes while it works; an
// int16 on the wire.
enum class CodeToParent : int32_t {
    finished = 0,
    clear_memory = 1,
    unregister_function = 2,
    register_function = 3,
    unregister_script_step = 4,
    register_script_step = 5,
    get_clipboard_formats = 6,
    get_clipboard_data = 7,
    set_clipboard_data = 8,
    trigger_script = 9,
    evaluate_expression = 10,
    execute_sql_11 = 11,
    get_fm_data_as_fm_text = 12,
    create_fm_text = 13,
    set_string_data = 14,
    get_fm_data_as_string = 15,
    write_fm_text_to_fm_data = 16,
    create_empty_fm_data = 17,
    is_empty = 18,
    get_text_length = 19,
    get_long_data = 20,
    get_double_data = 21,
    get_fm_data_as_fm_binary = 22,
    get_native_type = 23,
    get_stream_count = 24,
    get_stream_type = 25,
    get_stream_data = 26,
    add_stream_data = 27,
    remove_stream = 28,
    get_stream_size = 29,
    get_stream_total_size = 30,
    create_fm_binary = 31,
    add_stream_fnam = 32,
    add_stream_size = 33,
    write_fm_binary_to_fm_data = 34,
    get_date_time_data_as_seconds = 35,
    set_date_time_data = 36,
    create_char_style = 37,
    set_face = 38,
    set_font_id = 39,
    set_font_size = 40,
    set_color = 41,
    get_face = 42,
    get_font_id = 43,
    get_font_size = 44,
    create_empty_fm_text = 45,
    append_bytes_to_fm_text = 46,
    append_text = 47,
    set_char_style = 48,
    get_char_style = 49,
    get_default_char_style = 50,
    get_row_vect_size = 51,
    get_row_vect_data = 52,
    is_row_vect_empty = 53,
    get_data_vect_size = 54,
    get_data_vect_data = 55,
    execute_sql_13 = 56,
    read_bytes_from_fm_text = 57,
    get_stream_fnam = 58,
    create_fm_binary_from_file = 59,
    create_fm_binary_from_bytes = 60,
    create_fm_binary_with_context = 61,
    append_fm_binary_with_context = 62,
    close_fm_binary_with_context = 63,
    bring_app_window_to_front = 64,
    bring_process_window_to_front = 65,
    set_fm_as_parent_window = 66,
    show_file_chooser = 67,
    get_fm_window_coordinates = 68,
    on_error = 69,
    show_faux_window = 70,
    get_active_window_name = 71,
    store_dll_path = 72,
    get_manifest_attributes = 73,
    get_fm_window_handle = 74,
    enable_fm_window = 75,
    disable_fm_window = 76,
    disable_window_management = 77,
    register_scroll_event = 78,
    unused = 79
};

// "CodeToParent::" and the enumerator's name; nothing for a value outside the
// vocabulary (the child may send any int16).
std::ostream& operator<<(std::ostream& out, CodeToParent code);

// The printed form as a string, for log statements and error messages.
std::string to_string(CodeToParent code);

}  // namespace corvane
