#include "CallbackReply.h"

#include <cstdio>
#include <memory>
#include <utility>

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

CallbackReply& CallbackReply::add_raw_bytes(std::vector<uint8_t> bytes) {
    auto shared = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
    fields.emplace_back([shared](FILE_PTR out) {
        // A short write shows in the stream's error flag, which the sender checks.
        if (!shared->empty()) std::fwrite(shared->data(), 1, shared->size(), out);
        std::fflush(out);
    });
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
