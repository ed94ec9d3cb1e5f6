#include "FMInitParams.h"

#include "FMUtils.h"

namespace corvane {

std::string FMInitParams::get_version_string() const {
    if (version_string == 0) return std::string();
    const auto* units = reinterpret_cast<const FMX_Unichar*>(version_string);
    // Stop at the terminator rather than reading a fixed 256 units: the
    // host's buffer may be shorter than that.
    std::u16string text;
    for (size_t i = 0; i < max_version_string_units && units[i] != 0; ++i) text.push_back(static_cast<char16_t>(units[i]));
    return utf16_to_utf8_string(text);
}

}  // namespace corvane
