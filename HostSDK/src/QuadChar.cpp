#include "hostsdk/QuadChar.h"

#include <stdexcept>

namespace fmx {

QuadChar::QuadChar() : chars_{' ', ' ', ' ', ' '} {}

QuadChar::QuadChar(char c0, char c1, char c2, char c3)
    : chars_{static_cast<FMX_UChar>(c0), static_cast<FMX_UChar>(c1), static_cast<FMX_UChar>(c2),
             static_cast<FMX_UChar>(c3)} {}

QuadChar::QuadChar(const char* code) : QuadChar() {
    if (code == nullptr) return;
    for (std::size_t i = 0; i < chars_.size() && code[i] != '\0'; ++i) {
        chars_[i] = static_cast<FMX_UChar>(code[i]);
    }
}

FMX_UChar& QuadChar::operator[](int index) {
    if (index < 0 || index > 3) throw std::out_of_range("QuadChar index out of range");
    return chars_[static_cast<std::size_t>(index)];
}

const FMX_UChar& QuadChar::operator[](int index) const {
    if (index < 0 || index > 3) throw std::out_of_range("QuadChar index out of range");
    return chars_[static_cast<std::size_t>(index)];
}

bool QuadChar::operator==(const QuadChar& other) const { return chars_ == other.chars_; }
bool QuadChar::operator!=(const QuadChar& other) const { return chars_ != other.chars_; }
bool QuadChar::operator<(const QuadChar& other) const { return chars_ < other.chars_; }

std::string QuadChar::AsString() const { return std::string(chars_.begin(), chars_.end()); }

}  // namespace fmx
