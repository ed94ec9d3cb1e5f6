// Making and reading the host values that the calculator works on.
#pragma once

#include "hostsdk/fmx.h"

#include <string>

namespace hostsim::calc {

fmx::Data number_value(const fmx::FixPt& number);
fmx::Data text_value(const fmx::Text& text);
fmx::Data text_value(const std::string& utf8);
// kind is kDTDate, kDTTime or kDTTimeStamp.
fmx::Data date_time_value(const fmx::DateTime& date_time, fmx::Data::DataType kind);

// Numbers and booleans take part in arithmetic as numbers.
bool is_numeric(const fmx::Data& value);
bool is_temporal(const fmx::Data& value);

// The number of a numeric value; throws CalcError (wrong kind) otherwise.
const fmx::FixPt& number_of(const fmx::Data& value, const char* context);
// A number as a whole value within [low, high]; throws CalcError otherwise.
FMX_Int64 whole_number_of(const fmx::Data& value, FMX_Int64 low, FMX_Int64 high, const char* context);
// Throws CalcError when a result left the range of representable numbers.
const fmx::FixPt& checked(const fmx::FixPt& number);

// Calendar days that a date may have: from 1/1/1 (day 1) to 12/31/32767.
FMX_Int64 last_valid_day();

}  // namespace hostsim::calc
