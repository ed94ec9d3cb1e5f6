#include "PipeParent.h"

namespace corvane {

const std::unordered_map<CodeToParent, PipeParent::CallbackHandler>& PipeParent::callback_handlers() {
    using C = CodeToParent;
    static const std::unordered_map<CodeToParent, CallbackHandler> handlers = {
        // Host data: values, texts, numbers, timestamps, SQL results.
        {C::clear_memory, &PipeParent::on_clear_memory},
        {C::get_fm_data_as_fm_text, &PipeParent::on_get_fm_data_as_fm_text},
        {C::create_fm_text, &PipeParent::on_create_fm_text},
        {C::set_string_data, &PipeParent::on_set_string_data},
        {C::get_fm_data_as_string, &PipeParent::on_get_fm_data_as_string},
        {C::write_fm_text_to_fm_data, &PipeParent::on_write_fm_text_to_fm_data},
        {C::create_empty_fm_data, &PipeParent::on_create_empty_fm_data},
        {C::is_empty, &PipeParent::on_is_empty},
        {C::get_text_length, &PipeParent::on_get_text_length},
        {C::get_long_data, &PipeParent::on_get_long_data},
        {C::get_double_data, &PipeParent::on_get_double_data},
        {C::get_native_type, &PipeParent::on_get_native_type},
        {C::get_date_time_data_as_seconds, &PipeParent::on_get_date_time_data_as_seconds},
        {C::set_date_time_data, &PipeParent::on_set_date_time_data},
        {C::create_empty_fm_text, &PipeParent::on_create_empty_fm_text},
        {C::append_bytes_to_fm_text, &PipeParent::on_append_bytes_to_fm_text},
        {C::append_text, &PipeParent::on_append_text},
        {C::get_row_vect_size, &PipeParent::on_get_row_vect_size},
        {C::get_row_vect_data, &PipeParent::on_get_row_vect_data},
        {C::is_row_vect_empty, &PipeParent::on_is_row_vect_empty},
        {C::get_data_vect_size, &PipeParent::on_get_data_vect_size},
        {C::get_data_vect_data, &PipeParent::on_get_data_vect_data},
        {C::execute_sql_13, &PipeParent::on_execute_sql_13},
        {C::read_bytes_from_fm_text, &PipeParent::on_read_bytes_from_fm_text},

        // Registration of plug-in functions and script steps.
        {C::unregister_function, &PipeParent::on_unregister_function},
        {C::register_function, &PipeParent::on_register_function},
        {C::unregister_script_step, &PipeParent::on_unregister_script_step},
        {C::register_script_step, &PipeParent::on_register_script_step},

        // Host UI and environment. The clipboard codes 6-8 have no handler
        // on this platform.
        {C::trigger_script, &PipeParent::on_trigger_script},
        {C::evaluate_expression, &PipeParent::on_evaluate_expression},
        {C::execute_sql_11, &PipeParent::on_execute_sql_11},
        {C::bring_app_window_to_front, &PipeParent::on_bring_app_window_to_front},
        {C::bring_process_window_to_front, &PipeParent::on_bring_process_window_to_front},
        {C::set_fm_as_parent_window, &PipeParent::on_set_fm_as_parent_window},
        {C::show_file_chooser, &PipeParent::on_show_file_chooser},
        {C::get_fm_window_coordinates, &PipeParent::on_get_fm_window_coordinates},
        {C::on_error, &PipeParent::on_on_error},
        {C::show_faux_window, &PipeParent::on_show_faux_window},
        {C::get_active_window_name, &PipeParent::on_get_active_window_name},
        {C::store_dll_path, &PipeParent::on_store_dll_path},
        {C::get_manifest_attributes, &PipeParent::on_get_manifest_attributes},
        {C::get_fm_window_handle, &PipeParent::on_get_fm_window_handle},
        {C::enable_fm_window, &PipeParent::on_enable_fm_window},
        {C::disable_fm_window, &PipeParent::on_disable_fm_window},
        {C::disable_window_management, &PipeParent::on_disable_window_management},
        {C::register_scroll_event, &PipeParent::on_register_scroll_event},

        // Containers and text styles.
        {C::get_fm_data_as_fm_binary, &PipeParent::on_get_fm_data_as_fm_binary},
        {C::get_stream_count, &PipeParent::on_get_stream_count},
        {C::get_stream_type, &PipeParent::on_get_stream_type},
        {C::get_stream_data, &PipeParent::on_get_stream_data},
        {C::add_stream_data, &PipeParent::on_add_stream_data},
        {C::remove_stream, &PipeParent::on_remove_stream},
        {C::get_stream_size, &PipeParent::on_get_stream_size},
        {C::get_stream_total_size, &PipeParent::on_get_stream_total_size},
        {C::create_fm_binary, &PipeParent::on_create_fm_binary},
        {C::add_stream_fnam, &PipeParent::on_add_stream_fnam},
        {C::add_stream_size, &PipeParent::on_add_stream_size},
        {C::write_fm_binary_to_fm_data, &PipeParent::on_write_fm_binary_to_fm_data},
        {C::get_stream_fnam, &PipeParent::on_get_stream_fnam},
        {C::create_fm_binary_from_file, &PipeParent::on_create_fm_binary_from_file},
        {C::create_fm_binary_from_bytes, &PipeParent::on_create_fm_binary_from_bytes},
        {C::create_fm_binary_with_context, &PipeParent::on_create_fm_binary_with_context},
        {C::append_fm_binary_with_context, &PipeParent::on_append_fm_binary_with_context},
        {C::close_fm_binary_with_context, &PipeParent::on_close_fm_binary_with_context},
        {C::create_char_style, &PipeParent::on_create_char_style},
        {C::set_face, &PipeParent::on_set_face},
        {C::set_font_id, &PipeParent::on_set_font_id},
        {C::set_font_size, &PipeParent::on_set_font_size},
        {C::set_color, &PipeParent::on_set_color},
        {C::get_face, &PipeParent::on_get_face},
        {C::get_font_id, &PipeParent::on_get_font_id},
        {C::get_font_size, &PipeParent::on_get_font_size},
        {C::set_char_style, &PipeParent::on_set_char_style},
        {C::get_char_style, &PipeParent::on_get_char_style},
        {C::get_default_char_style, &PipeParent::on_get_default_char_style},
    };
    return handlers;
}

}  // namespace corvane
