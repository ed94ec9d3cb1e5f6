#pragma once

#include <string>
#include <unordered_set>
#include <vector>

namespace corvane {
namespace stringutils {

// Pieces between delimiters, read like lines: a trailing delimiter yields no
// empty last piece, a leading one an empty first piece, "" yields nothing.
std::vector<std::string> split(const std::string& text, char delimiter);

std::string join(const std::vector<std::string>& parts, const std::string& glue);
std::string join(const std::unordered_set<std::string>& parts, const std::string& glue);

// Replaces every occurrence of needle, left to right, never rescanning the
// inserted replacement. An empty needle leaves the text unchanged.
std::string substitute(const std::string& text, const std::string& needle, const std::string& replacement);

bool ends_with(const std::string& text, const std::string& suffix);

std::string& trim_right_inplace(std::string& text, const std::string& characters);
std::string& trim_left_inplace(std::string& text, const std::string& characters);
std::string& trim_inplace(std::string& text, const std::string& characters);

std::string to_upper(const std::string& text);

}  // namespace stringutils
}  // namespace corvane
