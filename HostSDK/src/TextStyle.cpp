#include "hostsdk/TextStyle.h"

namespace fmx {

CharacterStyle::Color::Color() : Color(0, 0, 0, 255) {}

CharacterStyle::Color::Color(ColorChannel red, ColorChannel green, ColorChannel blue, ColorChannel alpha)
    : red_(red), green_(green), blue_(blue), alpha_(alpha) {}

void CharacterStyle::Color::SetRed(ColorChannel value) { red_ = value; }
void CharacterStyle::Color::SetGreen(ColorChannel value) { green_ = value; }
void CharacterStyle::Color::SetBlue(ColorChannel value) { blue_ = value; }
void CharacterStyle::Color::SetAlpha(ColorChannel value) { alpha_ = value; }
CharacterStyle::Color::ColorChannel CharacterStyle::Color::GetRed() const { return red_; }
CharacterStyle::Color::ColorChannel CharacterStyle::Color::GetGreen() const { return green_; }
CharacterStyle::Color::ColorChannel CharacterStyle::Color::GetBlue() const { return blue_; }
CharacterStyle::Color::ColorChannel CharacterStyle::Color::GetAlpha() const { return alpha_; }

bool CharacterStyle::Color::operator==(const Color& other) const {
    return red_ == other.red_ && green_ == other.green_ && blue_ == other.blue_ && alpha_ == other.alpha_;
}
bool CharacterStyle::Color::operator!=(const Color& other) const { return !(*this == other); }

CharacterStyle::CharacterStyle() : CharacterStyle(0, kFace_Plain, kDefaultSize) {}

CharacterStyle::CharacterStyle(FontID font, Face face, FontSize size, const Color& color)
    : face_(face), font_(font), size_(size), color_(color) {}

void CharacterStyle::SetFace(Face face) { face_ = face; }
void CharacterStyle::SetFont(FontID font) { font_ = font; }
void CharacterStyle::SetSize(FontSize size) { size_ = size; }
void CharacterStyle::SetColor(const Color& color) { color_ = color; }
CharacterStyle::Face CharacterStyle::GetFace() const { return face_; }
CharacterStyle::FontID CharacterStyle::GetFont() const { return font_; }
CharacterStyle::FontSize CharacterStyle::GetSize() const { return size_; }
const CharacterStyle::Color& CharacterStyle::GetColor() const { return color_; }
void CharacterStyle::GetColor(Color& color) const { color = color_; }

bool CharacterStyle::operator==(const CharacterStyle& other) const {
    return face_ == other.face_ && font_ == other.font_ && size_ == other.size_ && color_ == other.color_;
}
bool CharacterStyle::operator!=(const CharacterStyle& other) const { return !(*this == other); }

}  // namespace fmx
