// Callbacks on character styles and the styles of text runs. Each handler
// reads its whole payload, then returns the act that runs it; a token that
// names no live style or text gets an answer of the usual shape with neutral
// values.

#include <string>

#include "PipeParent.h"

namespace corvane {

namespace {

Token read_token(FILE_PTR in) { return StreamUtils::read64_be(in); }

// Positions, lengths and style values travel wider than the host keeps them;
// the host takes their low bits.
FMX_UInt32 low_32_bits(int64_t value) { return static_cast<FMX_UInt32>(static_cast<uint64_t>(value)); }
FMX_UInt16 low_16_bits(int32_t value) { return static_cast<FMX_UInt16>(static_cast<uint32_t>(value)); }
FMX_UChar low_8_bits(int32_t value) { return static_cast<FMX_UChar>(static_cast<uint32_t>(value)); }

}  // namespace

PipeParent::PreparedCallback PipeParent::on_create_char_style(const CallbackRequest&) {
    return [] {
        CallbackReply reply;
        fmx::CharacterStyleUniquePtr style;
        reply.add_int64(token_of(*style));
        reply.hold_after_answer(std::move(style));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_set_face(const CallbackRequest& request) {
    const Token style_token = read_token(parent_read_fp);
    const int32_t face = StreamUtils::read32_be(parent_read_fp);
    return [this, request, style_token, face] {
        auto* style = resolve_token<fmx::CharacterStyle>(request, style_token, TokenType::char_style);
        if (style != nullptr) style->SetFace(low_16_bits(face));
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_set_font_id(const CallbackRequest& request) {
    const Token style_token = read_token(parent_read_fp);
    const int32_t font = StreamUtils::read32_be(parent_read_fp);
    return [this, request, style_token, font] {
        auto* style = resolve_token<fmx::CharacterStyle>(request, style_token, TokenType::char_style);
        if (style != nullptr) style->SetFont(low_16_bits(font));
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_set_font_size(const CallbackRequest& request) {
    const Token style_token = read_token(parent_read_fp);
    const int32_t size = StreamUtils::read32_be(parent_read_fp);
    return [this, request, style_token, size] {
        auto* style = resolve_token<fmx::CharacterStyle>(request, style_token, TokenType::char_style);
        if (style != nullptr) style->SetSize(low_16_bits(size));
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_set_color(const CallbackRequest& request) {
    const Token style_token = read_token(parent_read_fp);
    const int32_t red = StreamUtils::read32_be(parent_read_fp);
    const int32_t green = StreamUtils::read32_be(parent_read_fp);
    const int32_t blue = StreamUtils::read32_be(parent_read_fp);
    const int32_t alpha = StreamUtils::read32_be(parent_read_fp);
    return [this, request, style_token, red, green, blue, alpha] {
        CallbackReply reply;
        auto* style = resolve_token<fmx::CharacterStyle>(request, style_token, TokenType::char_style);
        if (style == nullptr) return reply;
        fmx::ColorUniquePtr color(low_8_bits(red), low_8_bits(green), low_8_bits(blue), low_8_bits(alpha));
        style->SetColor(*color);
        reply.hold_after_answer(std::move(color));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_face(const CallbackRequest& request) {
    const Token style_token = read_token(parent_read_fp);
    return [this, request, style_token] {
        CallbackReply reply;
        const auto* style = resolve_token<fmx::CharacterStyle>(request, style_token, TokenType::char_style);
        reply.add_int32(style != nullptr ? static_cast<int32_t>(style->GetFace()) : 0);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_font_id(const CallbackRequest& request) {
    const Token style_token = read_token(parent_read_fp);
    return [this, request, style_token] {
        CallbackReply reply;
        const auto* style = resolve_token<fmx::CharacterStyle>(request, style_token, TokenType::char_style);
        reply.add_int32(style != nullptr ? static_cast<int32_t>(style->GetFont()) : 0);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_font_size(const CallbackRequest& request) {
    const Token style_token = read_token(parent_read_fp);
    return [this, request, style_token] {
        CallbackReply reply;
        const auto* style = resolve_token<fmx::CharacterStyle>(request, style_token, TokenType::char_style);
        reply.add_int32(style != nullptr ? static_cast<int32_t>(style->GetSize()) : 0);
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_set_char_style(const CallbackRequest& request) {
    const Token text_token = read_token(parent_read_fp);
    const Token style_token = read_token(parent_read_fp);
    const int64_t position = StreamUtils::read64_be(parent_read_fp);
    const int64_t length = StreamUtils::read64_be(parent_read_fp);
    return [this, request, text_token, style_token, position, length] {
        auto* text = resolve_token<fmx::Text>(request, text_token, TokenType::text);
        const auto* style = resolve_token<fmx::CharacterStyle>(request, style_token, TokenType::char_style);
        if (text != nullptr && style != nullptr) text->SetStyle(*style, low_32_bits(position), low_32_bits(length));
        return CallbackReply();
    };
}

PipeParent::PreparedCallback PipeParent::on_get_char_style(const CallbackRequest& request) {
    const Token text_token = read_token(parent_read_fp);
    const int64_t position = StreamUtils::read64_be(parent_read_fp);
    return [this, request, text_token, position] {
        CallbackReply reply;
        const auto* text = resolve_token<fmx::Text>(request, text_token, TokenType::text);
        if (text == nullptr) {
            reply.add_int64(0);
            return reply;
        }
        fmx::CharacterStyleUniquePtr style;
        text->GetStyle(*style, low_32_bits(position));
        reply.add_int64(token_of(*style));
        reply.hold_after_answer(std::move(style));
        return reply;
    };
}

PipeParent::PreparedCallback PipeParent::on_get_default_char_style(const CallbackRequest& request) {
    const Token text_token = read_token(parent_read_fp);
    return [this, request, text_token] {
        CallbackReply reply;
        const auto* text = resolve_token<fmx::Text>(request, text_token, TokenType::text);
        if (text == nullptr) {
            reply.add_int64(0);
            return reply;
        }
        fmx::CharacterStyleUniquePtr style;
        text->GetDefaultStyle(*style);
        reply.add_int64(token_of(*style));
        reply.hold_after_answer(std::move(style));
        return reply;
    };
}

}  // namespace corvane
