// Callbacks on host values, texts, numbers, timestamps, SQL results and their
// vectors. Each handler reads its whole payload, then returns the act that
// runs it; a token that names no live object of the expected type gets an
// answer of the usual shape with neutral values.

#include <fmt/format.h>

#include <cstring>
#include <string>
#include <vector>

#include "FMUtils.h"
#include "PipeParent.h"
#include "exception/TobrinException.h"

namespace corvane {

namespace {

using Units = std::vector<uint16_t>;

Token read_token(FILE_PTR in) { return StreamUtils::read64_be(in); }

std::string to_utf8(const Units& units) { return utf16_to_utf8_string(std::u16string(units.begin(), units.end())); }

fmx::TextUniquePtr make_text(const Units& units) {
    fmx::TextUniquePtr text;
    static const FMX_Unichar no_units[1] = {0};
    text->AssignUnicodeWithLength(units.empty() ? no_units : units.data(), static_cast<FMX_UInt32>(units.size()));
    return text;
}

Units units_of(const fmx::Text& text) {
    Units units(text.GetSize(), 0);
    if (!units.empty()) text.GetUnicode(units.data(), 0, static_cast<FMX_UInt32>(units.size()));
    return units;
}

// Rejects a row or item index outside the vector before the host sees it.
void check_index(int32_t index, FMX_UInt32 size, const char* what) {
    if (index < 0 || static_cast<FMX_UInt32>(index) >= size)
        throw tobrin_exception(fmt::format("Index {:d} is out of range for a {} of {:d} entries", index, what, size));
}

}  // namespace

PipeParent::PreparedCallback PipeParent::on_clear_memory(const CallbackRequest& request) {
    return [this, request] {
        release_thread_objects(request.thread_id);
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_get_fm_data_as_fm_text(const CallbackRequest& request) {
    const Token data_token = read_token(parent_read_fp);
    return [this, request, data_token] {
        CallbackReply reply;
        const auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        Token text_token = 0;
        if (data != nullptr) {
            text_token = token_of(data->GetAsText());
            add_derived_token({data_token, TokenType::data}, {text_token, TokenType::text});
        }
        reply.add_int64(text_token);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_create_fm_text(const CallbackRequest&) {
    Units units = StreamUtils::read_unicode_bytes(parent_read_fp);
    return [units = std::move(units)] {
        CallbackReply reply;
        fmx::TextUniquePtr text = make_text(units);
        LogManager::debug("Released text size {:d}", text->GetSize());
        reply.add_int64(token_of(*text));
        reply.hold_after_answer(std::move(text));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_set_string_data(const CallbackRequest& request) {
    const Token data_token = read_token(parent_read_fp);
    Units units = StreamUtils::read_unicode_bytes(parent_read_fp);
    return [this, request, data_token, units = std::move(units)] {
        CallbackReply reply;
        auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        if (data == nullptr) return reply;
        LogManager::debug("Attempting to set string {} to FMData", to_utf8(units));
        fmx::TextUniquePtr text = make_text(units);
        data->SetAsText(*text, data->GetLocale(), fmx::Data::kDTText);
        reply.hold_after_answer(std::move(text));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_fm_data_as_string(const CallbackRequest& request) {
    const Token data_token = read_token(parent_read_fp);
    return [this, request, data_token] {
        CallbackReply reply;
        const auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        reply.add_text(data != nullptr ? units_of(data->GetAsText()) : Units());
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_write_fm_text_to_fm_data(const CallbackRequest& request) {
    const Token text_token = read_token(parent_read_fp);
    LogManager::debug("FMText token: {:d}", text_token);
    const Token data_token = read_token(parent_read_fp);
    LogManager::debug("FMData token: {:d}", data_token);
    return [this, request, text_token, data_token] {
        CallbackReply reply;
        const auto* text = resolve_token<fmx::Text>(request, text_token, TokenType::text);
        auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        if (text == nullptr || data == nullptr) return reply;
        // The text may be the value's own text form, which setting replaces.
        const fmx::Text copy(*text);
        data->SetAsText(copy, data->GetLocale(), fmx::Data::kDTText);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_create_empty_fm_data(const CallbackRequest&) {
    return [] {
        CallbackReply reply;
        fmx::DataUniquePtr data;
        reply.add_int64(token_of(*data));
        reply.hold_after_answer(std::move(data));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_is_empty(const CallbackRequest& request) {
    const Token data_token = read_token(parent_read_fp);
    LogManager::debug("FMData token: {:d}", data_token);
    return [this, request, data_token] {
        CallbackReply reply;
        const auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        if (data == nullptr) {
            reply.add_byte(false);
            return reply;
        }
        LogManager::info("Calling IsEmpty");
        const bool empty = data->IsEmpty();
        LogManager::info("Sending callback result for IsEmpty...");
        reply.add_byte(empty);
        reply.after_answer([] { LogManager::info("Done sending callback result for IsEmpty"); });
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_text_length(const CallbackRequest& request) {
    const Token text_token = read_token(parent_read_fp);
    return [this, request, text_token] {
        CallbackReply reply;
        const auto* text = resolve_token<fmx::Text>(request, text_token, TokenType::text);
        reply.add_int32(text != nullptr ? static_cast<int32_t>(text->GetSize()) : 0);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_long_data(const CallbackRequest& request) {
    const Token data_token = read_token(parent_read_fp);
    return [this, request, data_token] {
        CallbackReply reply;
        const auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        const int64_t value = data != nullptr ? data->GetAsNumber().AsLong() : 0;
        reply.add_int64(value);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_double_data(const CallbackRequest& request) {
    const Token data_token = read_token(parent_read_fp);
    return [this, request, data_token] {
        CallbackReply reply;
        const auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        const double value = data != nullptr ? data->GetAsNumber().AsFloat() : 0.0;
        int64_t bits = 0;
        static_assert(sizeof bits == sizeof value, "a double travels as the 64 bits of its IEEE 754 pattern");
        std::memcpy(&bits, &value, sizeof bits);
        reply.add_int64(bits);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_native_type(const CallbackRequest& request) {
    const Token data_token = read_token(parent_read_fp);
    return [this, request, data_token] {
        CallbackReply reply;
        const auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        reply.add_int32(data != nullptr ? static_cast<int32_t>(data->GetNativeType()) : 0);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_date_time_data_as_seconds(const CallbackRequest& request) {
    const Token data_token = read_token(parent_read_fp);
    return [this, request, data_token] {
        CallbackReply reply;
        const auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        int64_t seconds = 0;
        if (data != nullptr && !data->IsEmpty()) {
            const fmx::DateTime& timestamp = data->GetAsTimeStamp();
            fmx::FixPt seconds_of_day(0, 16);
            timestamp.GetSecsSinceMidnight(seconds_of_day);
            seconds = static_cast<int64_t>(timestamp.GetDaysSinceEpoch()) * 86400 + seconds_of_day.AsLong();
        }
        reply.add_int64(seconds);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_set_date_time_data(const CallbackRequest& request) {
    const Token data_token = read_token(parent_read_fp);
    const int32_t year = StreamUtils::read32_be(parent_read_fp);
    const int32_t month = StreamUtils::read32_be(parent_read_fp);
    const int32_t day = StreamUtils::read32_be(parent_read_fp);
    const int32_t hour = StreamUtils::read32_be(parent_read_fp);
    const int32_t minute = StreamUtils::read32_be(parent_read_fp);
    const int32_t second = StreamUtils::read32_be(parent_read_fp);
    return [this, request, data_token, year, month, day, hour, minute, second] {
        CallbackReply reply;
        auto* data = resolve_token<fmx::Data>(request, data_token, TokenType::data);
        if (data == nullptr) return reply;
        fmx::DateTimeUniquePtr date_time;
        date_time->SetNormalizedDate(static_cast<FMX_Int16>(month), static_cast<FMX_Int16>(day),
                                     static_cast<FMX_Int16>(year));
        date_time->SetNormalizedTime(static_cast<FMX_Int64>(hour), static_cast<FMX_Int16>(minute),
                                     static_cast<FMX_Int16>(second), 0);
        data->SetDateTime(*date_time, fmx::Data::kDTTimeStamp, fmx::Data::kDTTimeStamp);
        reply.hold_after_answer(std::move(date_time));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_create_empty_fm_text(const CallbackRequest&) {
    return [] {
        CallbackReply reply;
        fmx::TextUniquePtr text;
        text->Assign("", fmx::Text::kEncoding_Native);
        reply.add_int64(token_of(*text));
        reply.hold_after_answer(std::move(text));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_append_bytes_to_fm_text(const CallbackRequest& request) {
    const Token text_token = read_token(parent_read_fp);
    Units units = StreamUtils::read_unicode_bytes(parent_read_fp);
    return [this, request, text_token, units = std::move(units)] {
        CallbackReply reply;
        auto* text = resolve_token<fmx::Text>(request, text_token, TokenType::text);
        if (text == nullptr) return reply;
        fmx::TextUniquePtr appended = make_text(units);
        text->AppendText(*appended, 0, fmx::Text::kSize_End);
        reply.hold_after_answer(std::move(appended));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_append_text(const CallbackRequest& request) {
    const Token target_token = read_token(parent_read_fp);
    const Token appended_token = read_token(parent_read_fp);
    return [this, request, target_token, appended_token] {
        CallbackReply reply;
        auto* target = resolve_token<fmx::Text>(request, target_token, TokenType::text);
        const auto* appended = resolve_token<fmx::Text>(request, appended_token, TokenType::text);
        if (target == nullptr || appended == nullptr) return reply;
        // A text appended to itself is appended from a copy.
        const fmx::Text copy(*appended);
        target->AppendText(copy, 0, fmx::Text::kSize_End);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_row_vect_size(const CallbackRequest& request) {
    const Token rows_token = read_token(parent_read_fp);
    return [this, request, rows_token] {
        CallbackReply reply;
        const auto* rows = resolve_token<fmx::RowVect>(request, rows_token, TokenType::row_vect);
        reply.add_int32(rows != nullptr ? static_cast<int32_t>(rows->Size()) : 0);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_row_vect_data(const CallbackRequest& request) {
    const Token rows_token = read_token(parent_read_fp);
    const int32_t index = StreamUtils::read32_be(parent_read_fp);
    return [this, request, rows_token, index] {
        CallbackReply reply;
        const auto* rows = resolve_token<fmx::RowVect>(request, rows_token, TokenType::row_vect);
        Token row_token = 0;
        if (rows != nullptr) {
            check_index(index, rows->Size(), "row vector");
            row_token = token_of(rows->At(static_cast<FMX_UInt32>(index)));
            add_derived_token({rows_token, TokenType::row_vect}, {row_token, TokenType::data_vect});
        }
        reply.add_int64(row_token);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_is_row_vect_empty(const CallbackRequest& request) {
    const Token rows_token = read_token(parent_read_fp);
    return [this, request, rows_token] {
        CallbackReply reply;
        const auto* rows = resolve_token<fmx::RowVect>(request, rows_token, TokenType::row_vect);
        reply.add_byte(rows != nullptr && rows->IsEmpty());
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_data_vect_size(const CallbackRequest& request) {
    const Token items_token = read_token(parent_read_fp);
    return [this, request, items_token] {
        CallbackReply reply;
        const auto* items = resolve_token<fmx::DataVect>(request, items_token, TokenType::data_vect);
        reply.add_int32(items != nullptr ? static_cast<int32_t>(items->Size()) : 0);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_data_vect_data(const CallbackRequest& request) {
    const Token items_token = read_token(parent_read_fp);
    const int32_t index = StreamUtils::read32_be(parent_read_fp);
    return [this, request, items_token, index] {
        CallbackReply reply;
        const auto* items = resolve_token<fmx::DataVect>(request, items_token, TokenType::data_vect);
        Token item_token = 0;
        if (items != nullptr) {
            check_index(index, items->Size(), "data vector");
            item_token = token_of(items->At(static_cast<FMX_UInt32>(index)));
            add_derived_token({items_token, TokenType::data_vect}, {item_token, TokenType::data});
        }
        reply.add_int64(item_token);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_execute_sql_13(const CallbackRequest& request) {
    LogManager::debug("Executing SQL");
    Units sql = StreamUtils::read_unicode_bytes(parent_read_fp);
    LogManager::debug("Sql: {}", to_utf8(sql));
    Units file_name = StreamUtils::read_unicode_bytes(parent_read_fp);
    LogManager::debug("File name: {}", to_utf8(file_name));
    const int16_t column_separator = StreamUtils::read16_be(parent_read_fp);
    const int16_t row_separator = StreamUtils::read16_be(parent_read_fp);
    const int32_t parameter_count = StreamUtils::read32_be(parent_read_fp);
    if (parameter_count < 0 || parameter_count > max_sql_parameter_count)
        throw tobrin_exception(fmt::format("Invalid SQL parameter count {:d} from child process (at most {:d})",
                                           parameter_count, max_sql_parameter_count));
    std::vector<Units> parameters;
    for (int32_t i = 0; i < parameter_count; ++i) parameters.push_back(StreamUtils::read_unicode_bytes(parent_read_fp));

    return [request, sql = std::move(sql), file_name = std::move(file_name), column_separator, row_separator,
            parameters = std::move(parameters)] {
        CallbackReply reply;
        fmx::DataVectUniquePtr bound;
        for (const Units& parameter : parameters) {
            fmx::DataUniquePtr value;
            value->SetAsText(*make_text(parameter), value->GetLocale(), fmx::Data::kDTText);
            bound->PushBack(*value);
        }
        fmx::DataUniquePtr result;
        const FMX_ErrorCode error = request.environment.ExecuteFileSQLTextResult(
            *make_text(sql), *make_text(file_name), *bound, *result, static_cast<FMX_UInt16>(column_separator),
            static_cast<FMX_UInt16>(row_separator));
        if (error > 0) LogManager::debug("An error occurred during ExecuteFileSQL: {:d}", error);
        reply.add_int16(error);
        reply.add_int64(token_of(*result));
        reply.hold_after_answer(std::move(result));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_read_bytes_from_fm_text(const CallbackRequest& request) {
    const Token text_token = read_token(parent_read_fp);
    const int32_t offset = StreamUtils::read32_be(parent_read_fp);
    const int32_t amount = StreamUtils::read32_be(parent_read_fp);
    return [this, request, text_token, offset, amount] {
        if (offset < 0)
            throw tobrin_exception(fmt::format("Invalid offset {:d} for reading from a text", offset));
        if (amount < 0 || amount > max_text_read_units)
            throw tobrin_exception(
                fmt::format("Invalid amount {:d} for reading from a text (at most {:d} units)", amount,
                            max_text_read_units));
        CallbackReply reply;
        const auto* text = resolve_token<fmx::Text>(request, text_token, TokenType::text);
        if (text == nullptr) {
            reply.add_text(Units());
            return reply;
        }
        // Units the text does not have stay zero.
        Units units(static_cast<size_t>(amount), 0);
        if (!units.empty())
            text->GetUnicode(units.data(), static_cast<FMX_UInt32>(offset), static_cast<FMX_UInt32>(amount));
        reply.add_text(std::move(units));
        return reply;
    };
}

}  // namespace corvane
