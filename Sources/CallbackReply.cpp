#include "CallbackReply.h"

#include "util/StreamUtils.h"

namespace corvane {

CallbackReply& CallbackReply::add_int16(int16_t value) {
    fields.emplace_back([value](FILE_PTR out) { StreamUtils::write_int16_bytes(value, out); });
    return *this;
}

CallbackReply& CallbackReply::add_int32(int32_t value) {
    fields.emplace_back([value](FILE_PTR out) { StreamUtils::write_int32_bytes(value, out); });
    return *this;
}

CallbackReply& CallbackReply::add_int64(int64_t value) {
    fields.emplace_back([value](FILE_PTR out) { StreamUtils::write_int64_bytes(value, out); });
    return *this;
}

CallbackReply& CallbackReply::add_byte(bool value) {
    const int8_t byte = value ? 1 : 0;
    fields.emplace_back([byte](FILE_PTR out) { StreamUtils::putc(byte, out); });
    return *this;
}

CallbackReply& CallbackReply::add_text(std::vector<uint16_t> units) {
    auto text = std::make_shared<const std::u16string>(units.begin(), units.end());
    fields.emplace_back([text](FILE_PTR out) { StreamUtils::write_unicode_bytes(*text, out); });
    return *this;
}

PipeMessageSource CallbackReply::message_source() const {
    if (fields.empty()) return PipeMessageSource();
    return [fields = fields](FILE_PTR out) {
        for (const auto& write_field : fields) write_field(out);
    };
}

void CallbackReply::run_after_answer_steps() const {
    for (const auto& step : after_answer_steps) step();
}

}  // namespace corvane
