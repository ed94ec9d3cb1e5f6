// Host names (files, scripts, functions) compare without regard to ASCII case.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

namespace hostsdk_detail {

inline bool same_name(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace hostsdk_detail
