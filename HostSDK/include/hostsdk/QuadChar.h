// A four-character code: plug-in ids and container stream types ("FNAM").
#pragma once

#include <array>
#include <string>

#include "hostsdk/CallBlock.h"
#include "hostsdk/Export.h"

namespace fmx {

class FMX_API QuadChar {
public:
    // Four spaces.
    QuadChar();
    QuadChar(char c0, char c1, char c2, char c3);
    // The first four characters of `code`; a shorter code is padded with spaces,
    // a null pointer gives four spaces.
    explicit QuadChar(const char* code);

    // Index 0 to 3; any other index throws std::out_of_range.
    FMX_UChar& operator[](int index);
    const FMX_UChar& operator[](int index) const;

    bool operator==(const QuadChar& other) const;
    bool operator!=(const QuadChar& other) const;
    bool operator<(const QuadChar& other) const;

    // The four characters as a std::string of length 4.
    std::string AsString() const;

private:
    std::array<FMX_UChar, 4> chars_;
};

}  // namespace fmx
