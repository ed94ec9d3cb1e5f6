// The calculator's own functions, for the value kinds a plug-in receives:
//   Date(month; day; year)     a date; overflowing months and days carry over
//   Time(hours; minutes; seconds)   a time; fractions of seconds are kept
//   Timestamp(date; time)      a timestamp from a date (or timestamp) and a time (or timestamp)
//   Container(name; content)   a container with a file-name stream and a "FILE" stream of the content's UTF-8 bytes
//   Length(text)               the number of characters
//   Upper(text), Lower(text)   the text in capitals or small letters
#pragma once

#include "hostsdk/fmx.h"

#include <cstddef>
#include <string>
#include <vector>

namespace hostsim::calc {

struct Builtin {
    const char* name;
    std::size_t min_args;
    std::size_t max_args;
    fmx::Data (*run)(const std::vector<fmx::Data>& args);  // throws CalcError
};

// Names compare without regard to ASCII case; null when there is none.
const Builtin* find_builtin(const std::string& name);

}  // namespace hostsim::calc
