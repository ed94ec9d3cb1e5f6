#include "ChildStreams.h"

#include <cstring>
#include <stdexcept>

namespace corvane {
namespace fuzzing {

void KnownTokens::add(Token token) {
    if (tokens.size() < capacity)
        tokens.push_back(token);
    else
        tokens[added % capacity] = token;
    ++added;
}

Token KnownTokens::pick(size_t index) const { return tokens.empty() ? 0 : tokens[index % tokens.size()]; }

ScriptedChildOutput::ScriptedChildOutput(const uint8_t* data, size_t size, const KnownTokens& tokens)
    : data(data), size(size), tokens(tokens) {
    for (size_t at = 0; at + placeholder_length <= size;) {
        if (std::memcmp(data + at, placeholder_magic, magic_length) == 0) {
            placeholders.emplace(at, std::vector<uint8_t>());
            at += placeholder_length;
        } else {
            ++at;
        }
    }
}

std::FILE* ScriptedChildOutput::open() {
    const cookie_io_functions_t functions{&ScriptedChildOutput::read, nullptr, nullptr, nullptr};
    std::FILE* stream = fopencookie(this, "r", functions);
    if (stream == nullptr) throw std::runtime_error("fopencookie failed");
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

ssize_t ScriptedChildOutput::read(void* cookie, char* buffer, size_t count) {
    auto& self = *static_cast<ScriptedChildOutput*>(cookie);
    size_t done = 0;
    while (done < count && self.position < self.size) buffer[done++] = static_cast<char>(self.byte_at(self.position++));
    return static_cast<ssize_t>(done);
}

uint8_t ScriptedChildOutput::byte_at(size_t offset) {
    auto found = placeholders.upper_bound(offset);
    if (found == placeholders.begin()) return data[offset];
    --found;
    const size_t start = found->first;
    if (offset >= start + placeholder_length) return data[offset];
    std::vector<uint8_t>& resolved = found->second;
    if (resolved.empty()) {
        const size_t index = (static_cast<size_t>(data[start + magic_length]) << 8) | data[start + magic_length + 1];
        const auto token = static_cast<uint64_t>(tokens.pick(index));
        for (size_t i = 0; i < placeholder_length; ++i)
            resolved.push_back(static_cast<uint8_t>(token >> (8 * (placeholder_length - 1 - i))));
    }
    return resolved[offset - start];
}

std::FILE* AnswerSink::open() {
    const cookie_io_functions_t functions{nullptr, &AnswerSink::write, nullptr, nullptr};
    std::FILE* stream = fopencookie(this, "w", functions);
    if (stream == nullptr) throw std::runtime_error("fopencookie failed");
    return stream;
}

ssize_t AnswerSink::write(void* cookie, const char* buffer, size_t count) {
    auto& self = *static_cast<AnswerSink*>(cookie);
    constexpr size_t frame_ids = 3;
    if (count == 1 && static_cast<uint8_t>(buffer[0]) == 0xFF) {
        self.fields_in_frame = 0;
        return 1;
    }
    if (++self.fields_in_frame > frame_ids && count == sizeof(Token)) {
        uint64_t value = 0;
        for (size_t i = 0; i < count; ++i) value = (value << 8) | static_cast<uint8_t>(buffer[i]);
        self.tokens.add(static_cast<Token>(value));
    }
    return static_cast<ssize_t>(count);
}

}  // namespace fuzzing
}  // namespace corvane
