// One line of text for a host value, as the simulator prints results.
#pragma once

#include "hostsdk/fmx.h"

#include <string>

namespace fmhost {

// Numbers, dates, times and texts print in their host text form with a
// backslash, carriage return and line feed written as \\, \r and \n, so that
// every value stays on one line. A container prints as
//   container NAME (TYPE SIZE, TYPE SIZE, ...)
// with its file name and each stream's type and size in bytes.
std::string value_line(const fmx::Data& value);

// The same escaping for any text.
std::string one_line(const std::string& text);

}  // namespace fmhost
