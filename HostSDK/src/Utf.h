// UTF-8 <-> UTF-16 conversions behind fmx::Text. Ill-formed input becomes
// U+FFFD per maximal ill-formed subpart; nothing is read past the input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "hostsdk/CallBlock.h"

namespace hostsdk_detail {

inline constexpr FMX_Unichar kReplacementChar = 0xFFFD;

std::vector<FMX_Unichar> utf8_to_utf16(std::string_view bytes);
std::string utf16_to_utf8(const FMX_Unichar* units, std::size_t count);

}  // namespace hostsdk_detail
