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

        // Registration of functions and script steps (codes 2-5), host UI and
        // environment (9-11, 64-78), containers and text styles (22, 24-34,
        // 37-44, 48-50, 58-63) get their entries here with their handlers.
    };
    return handlers;
}

}  // namespace corvane
