#include "FMUtils.h"

#include <algorithm>
#include <cstdint>

namespace corvane {

namespace {

constexpr char32_t replacement_character = 0xFFFD;

struct SequenceShape {
    int continuation_bytes;  // bytes after the lead byte
    uint8_t second_min;      // allowed range of the first continuation byte,
    uint8_t second_max;      // narrowed to exclude overlongs, surrogates and > U+10FFFF
};

// Well-formed UTF-8 by lead byte; false for bytes that cannot start a sequence.
bool shape_of(uint8_t lead, SequenceShape& shape) {
    if (lead >= 0xC2 && lead <= 0xDF) shape = {1, 0x80, 0xBF};
    else if (lead == 0xE0) shape = {2, 0xA0, 0xBF};
    else if (lead == 0xED) shape = {2, 0x80, 0x9F};
    else if (lead >= 0xE1 && lead <= 0xEF) shape = {2, 0x80, 0xBF};
    else if (lead == 0xF0) shape = {3, 0x90, 0xBF};
    else if (lead >= 0xF1 && lead <= 0xF3) shape = {3, 0x80, 0xBF};
    else if (lead == 0xF4) shape = {3, 0x80, 0x8F};
    else return false;
    return true;
}

char32_t lead_bits(uint8_t lead, int continuation_bytes) {
    const uint8_t masks[] = {0x7F, 0x1F, 0x0F, 0x07};
    return lead & masks[continuation_bytes];
}

// Decodes one character at text[pos] (pos < end) and advances pos past it, or
// past the maximal ill-formed subsequence, which yields U+FFFD.
char32_t decode_one(const std::string& text, size_t end, size_t& pos) {
    const auto lead = static_cast<uint8_t>(text[pos++]);
    if (lead < 0x80) return lead;

    SequenceShape shape{};
    if (!shape_of(lead, shape)) return replacement_character;

    char32_t code_point = lead_bits(lead, shape.continuation_bytes);
    for (int i = 0; i < shape.continuation_bytes; ++i) {
        const uint8_t min = i == 0 ? shape.second_min : 0x80;
        const uint8_t max = i == 0 ? shape.second_max : 0xBF;
        if (pos >= end) return replacement_character;
        const auto byte = static_cast<uint8_t>(text[pos]);
        if (byte < min || byte > max) return replacement_character;  // not consumed: may start the next one
        code_point = (code_point << 6) | (byte & 0x3F);
        ++pos;
    }
    return code_point;
}

void append_utf16(std::u16string& out, char32_t code_point) {
    if (code_point < 0x10000) {
        out.push_back(static_cast<char16_t>(code_point));
        return;
    }
    const char32_t offset = code_point - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
}

void append_utf8(std::string& out, char32_t code_point) {
    if (code_point < 0x80) {
        out.push_back(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else if (code_point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    }
}

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::u16string utf8_to_utf16_string(const std::string& utf8) {
    const size_t end = std::min(utf8.find('\0'), utf8.size());
    std::u16string utf16;
    utf16.reserve(end);
    for (size_t pos = 0; pos < end;) append_utf16(utf16, decode_one(utf8, end, pos));
    return utf16;
}

std::string utf16_to_utf8_string(const std::u16string& utf16) {
    const size_t end = std::min(utf16.find(u'\0'), utf16.size());
    std::string utf8;
    utf8.reserve(end * 3);
    for (size_t pos = 0; pos < end; ++pos) {
        const char16_t unit = utf16[pos];
        if (is_high_surrogate(unit) && pos + 1 < end && is_low_surrogate(utf16[pos + 1])) {
            const char16_t low = utf16[++pos];
            append_utf8(utf8, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(low) - 0xDC00));
        } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
            append_utf8(utf8, replacement_character);
        } else {
            append_utf8(utf8, unit);
        }
    }
    return utf8;
}

}  // namespace corvane
