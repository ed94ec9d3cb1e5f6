// Character styles of styled text: face flags, font id, size and color.
#pragma once

#include "hostsdk/CallBlock.h"
#include "hostsdk/Export.h"

namespace fmx {

class FMX_API CharacterStyle {
public:
    typedef FMX_UInt16 Face;
    typedef FMX_UInt16 FontID;
    typedef FMX_UInt16 FontSize;

    // Face flags; any 16-bit combination is kept as given.
    enum : Face {
        kFace_Plain = 0,
        kFace_Bold = 0x0001,
        kFace_Italic = 0x0002,
        kFace_Underline = 0x0004
    };
    enum : FontSize { kDefaultSize = 12 };

    class FMX_API Color {
    public:
        typedef FMX_UChar ColorChannel;

        // Opaque black.
        Color();
        Color(ColorChannel red, ColorChannel green, ColorChannel blue, ColorChannel alpha = 255);

        void SetRed(ColorChannel value);
        void SetGreen(ColorChannel value);
        void SetBlue(ColorChannel value);
        void SetAlpha(ColorChannel value);
        ColorChannel GetRed() const;
        ColorChannel GetGreen() const;
        ColorChannel GetBlue() const;
        ColorChannel GetAlpha() const;

        bool operator==(const Color& other) const;
        bool operator!=(const Color& other) const;

    private:
        ColorChannel red_;
        ColorChannel green_;
        ColorChannel blue_;
        ColorChannel alpha_;
    };

    // Plain, font 0, size 12, opaque black: the default style of every text.
    CharacterStyle();
    CharacterStyle(FontID font, Face face, FontSize size, const Color& color = Color());

    void SetFace(Face face);
    void SetFont(FontID font);
    void SetSize(FontSize size);
    void SetColor(const Color& color);
    Face GetFace() const;
    FontID GetFont() const;
    FontSize GetSize() const;
    const Color& GetColor() const;
    // Copies the color into `color`.
    void GetColor(Color& color) const;

    bool operator==(const CharacterStyle& other) const;
    bool operator!=(const CharacterStyle& other) const;

private:
    Face face_;
    FontID font_;
    FontSize size_;
    Color color_;
};

}  // namespace fmx
