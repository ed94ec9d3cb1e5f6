#pragma once

#include <string>

namespace corvane {

// Exact conversions between the bridge's UTF-8 strings and the UTF-16 text of
// the pipe protocol. Each takes its input up to the first NUL (byte or unit).
// Ill-formed input never fails: every maximal ill-formed subsequence of UTF-8
// and every unpaired surrogate becomes U+FFFD.
std::u16string utf8_to_utf16_string(const std::string& utf8);
std::string utf16_to_utf8_string(const std::u16string& utf16);

}  // namespace corvane
