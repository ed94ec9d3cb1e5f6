// Host text: UTF-16 code units with character styles kept per run.
#pragma once

#include <string>
#include <vector>

#include "hostsdk/CallBlock.h"
#include "hostsdk/Export.h"
#include "hostsdk/TextStyle.h"

namespace fmx {

class FMX_API Text {
public:
    // Native is UTF-8 on this platform. Ill-formed input in any encoding is read
    // as U+FFFD for each bad sequence and never read past its end.
    enum Encoding { kEncoding_Native = 0, kEncoding_UTF8 = 1 };

    // "Up to the end" for every position/size pair.
    static constexpr FMX_UInt32 kSize_End = 0xFFFFFFFFu;

    Text();
    Text(const Text& other);
    Text(Text&& other) noexcept;
    Text& operator=(const Text& other);
    Text& operator=(Text&& other) noexcept;
    ~Text();

    // Replaces the content (styles are dropped). A null pointer gives an empty text.
    void Assign(const char* s, Encoding encoding = kEncoding_Native);
    // `s` ends at its first NUL unit.
    void AssignUnicode(const FMX_Unichar* s);
    // Exactly `length` units, NUL units included; unpaired surrogates are kept
    // as units and only replaced when converted to bytes.
    void AssignUnicodeWithLength(const FMX_Unichar* s, FMX_UInt32 length);

    // Size in UTF-16 units.
    FMX_UInt32 GetSize() const;

    // Copies up to `size` units from `position` into `buffer`: never more than
    // the text holds from there, never past `size`; no terminating NUL.
    // Returns the number of units copied.
    FMX_UInt32 GetUnicode(FMX_Unichar* buffer, FMX_UInt32 position, FMX_UInt32 size) const;

    // Converts units [position, position + size) to UTF-8 into `buffer`, always
    // NUL-terminated when bufferSize > 0, truncated on a whole character so that
    // no partial sequence is written. Returns the bytes written, NUL excluded.
    FMX_UInt32 GetBytes(char* buffer, FMX_UInt32 bufferSize, FMX_UInt32 position = 0,
                        FMX_UInt32 size = kSize_End, Encoding encoding = kEncoding_Native) const;

    // Replaces the content with units [position, position + size) of `other`,
    // with their styles.
    void SetText(const Text& other, FMX_UInt32 position = 0, FMX_UInt32 size = kSize_End);
    // Appends units [position, position + size) of `other`, with their styles.
    void AppendText(const Text& other, FMX_UInt32 position = 0, FMX_UInt32 size = kSize_End);

    // The style at `position`; the default style past the end or where no
    // style was set.
    void GetStyle(CharacterStyle& style, FMX_UInt32 position) const;
    void GetDefaultStyle(CharacterStyle& style) const;
    // Applies `style` to units [position, position + size), clipped to the text.
    void SetStyle(const CharacterStyle& style, FMX_UInt32 position = 0, FMX_UInt32 size = kSize_End);
    // Back to the default style everywhere.
    void RemoveAllStyles();

    // Host-side conveniences (the simulator and its calculator use them).
    explicit Text(const char* utf8);
    std::string GetUTF8() const;
    const std::vector<FMX_Unichar>& GetUnits() const;
    void Uppercase();
    void Lowercase();

    // Compare units only; styles do not take part.
    bool operator==(const Text& other) const;
    bool operator!=(const Text& other) const;
    bool operator<(const Text& other) const;
    bool operator<=(const Text& other) const;
    bool operator>(const Text& other) const;
    bool operator>=(const Text& other) const;

    // A styled range [start, start + length); ranges are sorted, disjoint and
    // never empty. Units outside every range have the default style.
    struct StyleRun {
        FMX_UInt32 start;
        FMX_UInt32 length;
        CharacterStyle style;
    };
    const std::vector<StyleRun>& GetStyleRuns() const;

private:
    std::vector<FMX_Unichar> units_;
    std::vector<StyleRun> runs_;
};

}  // namespace fmx
