#include "util/stringutils.h"

#include <cctype>
#include <sstream>

namespace corvane {
namespace stringutils {

std::vector<std::string> split(const std::string& text, char delimiter) {
    std::vector<std::string> pieces;
    std::istringstream in(text);
    std::string piece;
    while (std::getline(in, piece, delimiter)) pieces.push_back(piece);
    return pieces;
}

namespace {
template <typename Container>
std::string join_any(const Container& parts, const std::string& glue) {
    std::string joined;
    bool first = true;
    for (const auto& part : parts) {
        if (!first) joined += glue;
        joined += part;
        first = false;
    }
    return joined;
}
}  // namespace

std::string join(const std::vector<std::string>& parts, const std::string& glue) { return join_any(parts, glue); }

std::string join(const std::unordered_set<std::string>& parts, const std::string& glue) {
    return join_any(parts, glue);
}

std::string substitute(const std::string& text, const std::string& needle, const std::string& replacement) {
    std::string result = text;
    if (needle.empty()) return result;
    std::string::size_type pos = 0;
    while ((pos = result.find(needle, pos)) != std::string::npos) {
        result.replace(pos, needle.size(), replacement);
        pos += replacement.size();
    }
    return result;
}

bool ends_with(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string& trim_right_inplace(std::string& text, const std::string& characters) {
    const auto last = text.find_last_not_of(characters);
    text.erase(last == std::string::npos ? 0 : last + 1);
    return text;
}

std::string& trim_left_inplace(std::string& text, const std::string& characters) {
    text.erase(0, text.find_first_not_of(characters));
    return text;
}

std::string& trim_inplace(std::string& text, const std::string& characters) {
    return trim_left_inplace(trim_right_inplace(text, characters), characters);
}

std::string to_upper(const std::string& text) {
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

}  // namespace stringutils
}  // namespace corvane
