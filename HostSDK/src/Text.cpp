#include "hostsdk/Text.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "Utf.h"

namespace fmx {

namespace {

// The half-open unit range [begin, end) that (position, size) names in a text
// of `length` units, clipped to it.
struct UnitRange {
    std::size_t begin;
    std::size_t end;
};

UnitRange clip(std::size_t length, FMX_UInt32 position, FMX_UInt32 size) {
    const std::size_t begin = std::min<std::size_t>(position, length);
    const std::size_t available = length - begin;
    return {begin, begin + std::min<std::size_t>(size, available)};
}

void check_size(std::size_t units) {
    if (units > std::numeric_limits<FMX_UInt32>::max()) {
        throw std::length_error("text longer than the host allows");
    }
}

FMX_Unichar upper_unit(FMX_Unichar u) {
    if (u >= 'a' && u <= 'z') return static_cast<FMX_Unichar>(u - 0x20);
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<FMX_Unichar>(u - 0x20);
    return u;
}

FMX_Unichar lower_unit(FMX_Unichar u) {
    if (u >= 'A' && u <= 'Z') return static_cast<FMX_Unichar>(u + 0x20);
    if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<FMX_Unichar>(u + 0x20);
    return u;
}

// Joins neighbouring runs that touch and carry the same style.
void merge_runs(std::vector<Text::StyleRun>& runs) {
    std::vector<Text::StyleRun> merged;
    merged.reserve(runs.size());
    for (const auto& run : runs) {
        if (run.length == 0) continue;
        if (!merged.empty()) {
            auto& last = merged.back();
            if (last.start + last.length == run.start && last.style == run.style) {
                last.length += run.length;
                continue;
            }
        }
        merged.push_back(run);
    }
    runs.swap(merged);
}

}  // namespace

Text::Text() = default;
Text::Text(const Text& other) = default;
Text::Text(Text&& other) noexcept = default;
Text& Text::operator=(const Text& other) = default;
Text& Text::operator=(Text&& other) noexcept = default;
Text::~Text() = default;

Text::Text(const char* utf8) { Assign(utf8, kEncoding_UTF8); }

void Text::Assign(const char* s, Encoding /*encoding*/) {
    // Native text is UTF-8 here, so both encodings read the same way.
    auto units = s == nullptr ? std::vector<FMX_Unichar>{} : hostsdk_detail::utf8_to_utf16(s);
    check_size(units.size());
    units_ = std::move(units);
    runs_.clear();
}

void Text::AssignUnicode(const FMX_Unichar* s) {
    std::size_t length = 0;
    if (s != nullptr) {
        while (s[length] != 0) ++length;
    }
    check_size(length);
    AssignUnicodeWithLength(s, static_cast<FMX_UInt32>(length));
}

void Text::AssignUnicodeWithLength(const FMX_Unichar* s, FMX_UInt32 length) {
    if (s == nullptr) length = 0;
    units_.assign(s, s + length);
    runs_.clear();
}

FMX_UInt32 Text::GetSize() const { return static_cast<FMX_UInt32>(units_.size()); }

FMX_UInt32 Text::GetUnicode(FMX_Unichar* buffer, FMX_UInt32 position, FMX_UInt32 size) const {
    const UnitRange range = clip(units_.size(), position, size);
    const std::size_t count = range.end - range.begin;
    if (buffer == nullptr || count == 0) return 0;
    std::copy(units_.begin() + static_cast<std::ptrdiff_t>(range.begin),
              units_.begin() + static_cast<std::ptrdiff_t>(range.end), buffer);
    return static_cast<FMX_UInt32>(count);
}

FMX_UInt32 Text::GetBytes(char* buffer, FMX_UInt32 bufferSize, FMX_UInt32 position, FMX_UInt32 size,
                          Encoding /*encoding*/) const {
    if (buffer == nullptr || bufferSize == 0) return 0;
    const UnitRange range = clip(units_.size(), position, size);
    const std::string bytes =
        hostsdk_detail::utf16_to_utf8(units_.data() + range.begin, range.end - range.begin);
    std::size_t count = std::min<std::size_t>(bytes.size(), bufferSize - 1);
    // Cut on a character boundary: never leave a partial sequence behind.
    while (count > 0 && count < bytes.size() && (static_cast<unsigned char>(bytes[count]) & 0xC0) == 0x80) {
        --count;
    }
    std::memcpy(buffer, bytes.data(), count);
    buffer[count] = '\0';
    return static_cast<FMX_UInt32>(count);
}

void Text::SetText(const Text& other, FMX_UInt32 position, FMX_UInt32 size) {
    if (&other == this) {
        const Text copy(other);
        SetText(copy, position, size);
        return;
    }
    units_.clear();
    runs_.clear();
    AppendText(other, position, size);
}

void Text::AppendText(const Text& other, FMX_UInt32 position, FMX_UInt32 size) {
    if (&other == this) {
        const Text copy(other);
        AppendText(copy, position, size);
        return;
    }
    const UnitRange range = clip(other.units_.size(), position, size);
    const std::size_t base = units_.size();
    check_size(base + (range.end - range.begin));
    units_.insert(units_.end(), other.units_.begin() + static_cast<std::ptrdiff_t>(range.begin),
                  other.units_.begin() + static_cast<std::ptrdiff_t>(range.end));
    for (const auto& run : other.runs_) {
        const std::size_t run_begin = std::max<std::size_t>(run.start, range.begin);
        const std::size_t run_end = std::min<std::size_t>(std::size_t{run.start} + run.length, range.end);
        if (run_begin >= run_end) continue;
        runs_.push_back({static_cast<FMX_UInt32>(base + run_begin - range.begin),
                         static_cast<FMX_UInt32>(run_end - run_begin), run.style});
    }
    merge_runs(runs_);
}

void Text::GetStyle(CharacterStyle& style, FMX_UInt32 position) const {
    // The first run that ends after `position`; it holds it when it starts at or before it.
    const auto it = std::upper_bound(runs_.begin(), runs_.end(), position,
                                     [](FMX_UInt32 pos, const StyleRun& run) {
                                         return pos < std::size_t{run.start} + run.length;
                                     });
    if (it != runs_.end() && it->start <= position) {
        style = it->style;
    } else {
        GetDefaultStyle(style);
    }
}

void Text::GetDefaultStyle(CharacterStyle& style) const { style = CharacterStyle(); }

void Text::SetStyle(const CharacterStyle& style, FMX_UInt32 position, FMX_UInt32 size) {
    const UnitRange range = clip(units_.size(), position, size);
    if (range.begin == range.end) return;
    std::vector<StyleRun> runs;
    runs.reserve(runs_.size() + 2);
    bool inserted = false;
    for (const auto& run : runs_) {
        const std::size_t run_end = std::size_t{run.start} + run.length;
        if (run_end <= range.begin || run.start >= range.end) {
            if (!inserted && run.start >= range.end) {
                runs.push_back({static_cast<FMX_UInt32>(range.begin),
                                static_cast<FMX_UInt32>(range.end - range.begin), style});
                inserted = true;
            }
            runs.push_back(run);
            continue;
        }
        // The run overlaps the new range: keep what lies outside it.
        if (run.start < range.begin) {
            runs.push_back({run.start, static_cast<FMX_UInt32>(range.begin - run.start), run.style});
        }
        if (!inserted) {
            runs.push_back({static_cast<FMX_UInt32>(range.begin),
                            static_cast<FMX_UInt32>(range.end - range.begin), style});
            inserted = true;
        }
        if (run_end > range.end) {
            runs.push_back({static_cast<FMX_UInt32>(range.end), static_cast<FMX_UInt32>(run_end - range.end),
                            run.style});
        }
    }
    if (!inserted) {
        runs.push_back({static_cast<FMX_UInt32>(range.begin), static_cast<FMX_UInt32>(range.end - range.begin),
                        style});
    }
    merge_runs(runs);
    runs_.swap(runs);
}

void Text::RemoveAllStyles() { runs_.clear(); }

std::string Text::GetUTF8() const { return hostsdk_detail::utf16_to_utf8(units_.data(), units_.size()); }

const std::vector<FMX_Unichar>& Text::GetUnits() const { return units_; }

void Text::Uppercase() { std::transform(units_.begin(), units_.end(), units_.begin(), upper_unit); }

void Text::Lowercase() { std::transform(units_.begin(), units_.end(), units_.begin(), lower_unit); }

bool Text::operator==(const Text& other) const { return units_ == other.units_; }
bool Text::operator!=(const Text& other) const { return units_ != other.units_; }
bool Text::operator<(const Text& other) const { return units_ < other.units_; }
bool Text::operator<=(const Text& other) const { return units_ <= other.units_; }
bool Text::operator>(const Text& other) const { return units_ > other.units_; }
bool Text::operator>=(const Text& other) const { return units_ >= other.units_; }

const std::vector<Text::StyleRun>& Text::GetStyleRuns() const { return runs_; }

}  // namespace fmx
