// Callbacks on the host's environment: running scripts, evaluating
// calculations, SQL with a row-vector result, the errors and paths the child
// reports, and the manifest of a plug-in archive. Each handler reads its
// whole payload, then returns the act that runs it.

#include <fmt/format.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FMUtils.h"
#include "PipeParent.h"
#include "exception/TobrinException.h"
#include "util/lin/PluginUtils.h"

namespace corvane {

namespace {

using Units = std::vector<uint16_t>;

// What the child hears when the host offers no way to start a script.
constexpr FMX_ErrorCode no_start_script_entry_error = fmx::kErrGeneric;
// What the child hears when its script parameter names no live value.
constexpr FMX_ErrorCode invalid_parameter_error = fmx::kErrInvalidArgument;

std::string to_utf8(const Units& units) { return utf16_to_utf8_string(std::u16string(units.begin(), units.end())); }

Units to_units(const std::string& utf8) {
    const std::u16string text = utf8_to_utf16_string(utf8);
    return Units(text.begin(), text.end());
}

fmx::TextUniquePtr make_text(const Units& units) {
    fmx::TextUniquePtr text;
    static const FMX_Unichar no_units[1] = {0};
    text->AssignUnicodeWithLength(units.empty() ? no_units : units.data(), static_cast<FMX_UInt32>(units.size()));
    return text;
}

bool read_flag(FILE_PTR in) { return StreamUtils::get_c(in) != 0; }

}  // namespace

PipeParent::PreparedCallback PipeParent::on_trigger_script(const CallbackRequest& request) {
    Units file_name = StreamUtils::read_unicode_bytes(parent_read_fp);
    Units script_name = StreamUtils::read_unicode_bytes(parent_read_fp);
    const int32_t current_script_settings = StreamUtils::read32_be(parent_read_fp);
    const Token parameter_token = StreamUtils::read64_be(parent_read_fp);
    return [this, request, file_name = std::move(file_name), script_name = std::move(script_name),
            current_script_settings, parameter_token] {
        CallbackReply reply;
        // The settings carry more than the host's control value in their
        // upper bits.
        const auto control = static_cast<FMX_ScriptControl>(current_script_settings & 0xFF);
        const fmx::Data* parameter = nullptr;
        if (parameter_token != 0) {
            parameter = resolve_token<fmx::Data>(request, parameter_token, TokenType::data);
            // Running the script without the parameter it was meant to get
            // would be worse than not running it.
            if (parameter == nullptr) {
                reply.add_int16(invalid_parameter_error);
                return reply;
            }
        }
        const FMX_StartScriptCall start_script = init_params.c_start_script;
        if (start_script == nullptr) {
            LogManager::error("The host gave no entry to start scripts; script {} in file {} was not triggered",
                              to_utf8(script_name), to_utf8(file_name));
            reply.add_int16(no_start_script_entry_error);
            return reply;
        }
        const fmx::TextUniquePtr file = make_text(file_name);
        const fmx::TextUniquePtr script = make_text(script_name);
        reply.add_int16(start_script(file.get(), script.get(), control, parameter));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_evaluate_expression(const CallbackRequest& request) {
    LogManager::debug("About to evaluate expression");
    Units expression = StreamUtils::read_unicode_bytes(parent_read_fp);
    LogManager::debug("Expression: {}", to_utf8(expression));
    return [request, expression = std::move(expression)] {
        CallbackReply reply;
        fmx::DataUniquePtr result;
        reply.add_int16(request.environment.Evaluate(*make_text(expression), *result));
        reply.add_int64(token_of(*result));
        reply.hold_after_answer(std::move(result));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_execute_sql_11(const CallbackRequest& request) {
    LogManager::debug("Executing SQL");
    Units sql = StreamUtils::read_unicode_bytes(parent_read_fp);
    LogManager::debug("Sql: {}", to_utf8(sql));
    Units file_name = StreamUtils::read_unicode_bytes(parent_read_fp);
    LogManager::debug("File name: {}", to_utf8(file_name));
    const int32_t parameter_count = StreamUtils::read32_be(parent_read_fp);
    if (parameter_count < 0 || parameter_count > max_sql_parameter_count)
        throw tobrin_exception(fmt::format("Invalid SQL parameter count {:d} from child process (at most {:d})",
                                           parameter_count, max_sql_parameter_count));
    std::vector<Units> parameters;
    for (int32_t i = 0; i < parameter_count; ++i) parameters.push_back(StreamUtils::read_unicode_bytes(parent_read_fp));

    return [request, sql = std::move(sql), file_name = std::move(file_name), parameters = std::move(parameters)] {
        CallbackReply reply;
        fmx::DataVectUniquePtr bound;
        for (const Units& parameter : parameters) {
            fmx::DataUniquePtr value;
            value->SetAsText(*make_text(parameter), value->GetLocale(), fmx::Data::kDTText);
            bound->PushBack(*value);
        }
        fmx::RowVectUniquePtr rows;
        const FMX_ErrorCode error =
            request.environment.ExecuteFileSQL(*make_text(sql), *make_text(file_name), *bound, *rows);
        if (error > 0) LogManager::debug("An error occurred during ExecuteFileSQL: {:d}", error);
        reply.add_int16(error);
        reply.add_int64(token_of(*rows));
        reply.hold_after_answer(std::move(rows));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_on_error(const CallbackRequest& request) {
    Units message = StreamUtils::read_unicode_bytes(parent_read_fp);
    const int32_t error_level = StreamUtils::read32_be(parent_read_fp);
    const bool expired = read_flag(parent_read_fp);
    return [this, request, message = std::move(message), error_level, expired] {
        last_plugin_exceptions[request.thread_id] = std::make_unique<plugin_exception>(
            to_utf8(message), static_cast<plugin_exception::ErrorLevel>(error_level), expired);
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_store_dll_path(const CallbackRequest&) {
    Units path = StreamUtils::read_unicode_bytes(parent_read_fp);
    return [this, path = std::move(path)] {
        dll_path = to_utf8(path);
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_get_manifest_attributes(const CallbackRequest&) {
    Units archive_path = StreamUtils::read_unicode_bytes(parent_read_fp);
    return [archive_path = std::move(archive_path)] {
        CallbackReply reply;
        // An ordered map: names go out in ascending order.
        const std::map<std::string, std::string> attributes =
            PluginUtils::get_manifest_attributes(to_utf8(archive_path));
        reply.add_int32(static_cast<int32_t>(attributes.size()));
        for (const auto& [name, value] : attributes) {
            reply.add_text(to_units(name));
            reply.add_text(to_units(value));
        }
        return reply;
    };
}

}  // namespace corvane
