// Strict reading of whole numbers from command text.
#pragma once

#include <optional>
#include <string_view>

namespace fmhost {

// The whole text must be a decimal integer (optional sign); nothing else is accepted.
std::optional<long long> parse_integer(std::string_view text);

}  // namespace fmhost
