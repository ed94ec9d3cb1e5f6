// The operators of the calculation language on host values.
//
// + - * / take numbers. A date, time or timestamp plus or minus a number
// moves it by days (date) or seconds (time, timestamp); two values of the
// same such kind subtracted give the distance as a number. & joins the text
// forms of any two values. Comparisons give 1 or 0: numbers, dates and times
// by value, anything else by text without regard to ASCII case.
#pragma once

#include "Syntax.h"

#include "hostsdk/fmx.h"

namespace hostsim::calc {

// Throws CalcError for operands of the wrong kind and for division by zero.
fmx::Data apply(BinaryOp op, const fmx::Data& left, const fmx::Data& right);
fmx::Data negate(const fmx::Data& operand);

}  // namespace hostsim::calc
