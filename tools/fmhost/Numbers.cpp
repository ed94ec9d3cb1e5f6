#include "Numbers.h"

#include <charconv>

namespace fmhost {

std::optional<long long> parse_integer(std::string_view text) {
    // from_chars takes no plus sign; a lone leading one is accepted here.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

}  // namespace fmhost
