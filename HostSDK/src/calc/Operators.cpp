#include "Operators.h"

#include "CalcError.h"
#include "Values.h"

namespace hostsim::calc {
namespace {

// A date, time or timestamp rebuilt from its number form (days or seconds).
fmx::Data temporal_from_number(fmx::Data::DataType kind, const fmx::FixPt& number) {
    fmx::DateTime date_time;
    const long double value = checked(number).GetValue();
    switch (kind) {
    case fmx::Data::kDTDate:
        if (value < 1 || value >= static_cast<long double>(last_valid_day() + 1))
            throw CalcError(kCalcError, "date out of range");
        date_time.SetDaysSinceEpoch(number.AsLong64());
        break;
    case fmx::Data::kDTTimeStamp:
        if (value < 0 || value >= static_cast<long double>(last_valid_day()) * 86400)
            throw CalcError(kCalcError, "timestamp out of range");
        date_time.SetSecondsSinceEpoch(number);
        break;
    default:
        date_time.SetSecsSinceMidnight(number);
        break;
    }
    return date_time_value(date_time, kind);
}

fmx::Data add_or_subtract(BinaryOp op, const fmx::Data& left, const fmx::Data& right) {
    const char* name = op == BinaryOp::Add ? "+" : "-";
    const auto combine = [op](const fmx::FixPt& a, const fmx::FixPt& b) { return op == BinaryOp::Add ? a + b : a - b; };
    if (is_numeric(left) && is_numeric(right)) return number_value(combine(left.GetAsNumber(), right.GetAsNumber()));
    if (is_temporal(left) && is_numeric(right))
        return temporal_from_number(left.GetNativeType(), combine(left.GetAsNumber(), right.GetAsNumber()));
    if (op == BinaryOp::Add && is_numeric(left) && is_temporal(right))
        return temporal_from_number(right.GetNativeType(), left.GetAsNumber() + right.GetAsNumber());
    if (op == BinaryOp::Subtract && is_temporal(left) && left.GetNativeType() == right.GetNativeType())
        return number_value(left.GetAsNumber() - right.GetAsNumber());
    throw CalcError(kCalcError, std::string(name) + " needs numbers, or a date or time and a number");
}

fmx::Data multiply_or_divide(BinaryOp op, const fmx::Data& left, const fmx::Data& right) {
    const char* name = op == BinaryOp::Multiply ? "*" : "/";
    const fmx::FixPt& a = number_of(left, name);
    const fmx::FixPt& b = number_of(right, name);
    if (op == BinaryOp::Multiply) return number_value(a * b);
    fmx::FixPt quotient;
    if (a.Divide(b, quotient) != 0) throw CalcError(kCalcError, "division by zero");
    return number_value(quotient);
}

fmx::Data concatenate(const fmx::Data& left, const fmx::Data& right) {
    fmx::Text joined(left.GetAsText());
    joined.AppendText(right.GetAsText());
    return text_value(joined);
}

// <0, 0 or >0.
int compare(const fmx::Data& left, const fmx::Data& right) {
    const bool by_value = (is_numeric(left) || is_temporal(left)) && (is_numeric(right) || is_temporal(right));
    if (by_value) {
        const fmx::FixPt& a = left.GetAsNumber();
        const fmx::FixPt& b = right.GetAsNumber();
        return a < b ? -1 : (b < a ? 1 : 0);
    }
    fmx::Text a(left.GetAsText());
    fmx::Text b(right.GetAsText());
    a.Lowercase();
    b.Lowercase();
    return a < b ? -1 : (b < a ? 1 : 0);
}

bool holds(BinaryOp op, int order) {
    switch (op) {
    case BinaryOp::Equal: return order == 0;
    case BinaryOp::NotEqual: return order != 0;
    case BinaryOp::Less: return order < 0;
    case BinaryOp::LessEqual: return order <= 0;
    case BinaryOp::Greater: return order > 0;
    default: return order >= 0;
    }
}

}  // namespace

fmx::Data apply(BinaryOp op, const fmx::Data& left, const fmx::Data& right) {
    switch (op) {
    case BinaryOp::Add:
    case BinaryOp::Subtract: return add_or_subtract(op, left, right);
    case BinaryOp::Multiply:
    case BinaryOp::Divide: return multiply_or_divide(op, left, right);
    case BinaryOp::Concatenate: return concatenate(left, right);
    default: return number_value(fmx::FixPt(holds(op, compare(left, right)) ? 1 : 0));
    }
}

fmx::Data negate(const fmx::Data& operand) { return number_value(-number_of(operand, "unary -")); }

}  // namespace hostsim::calc
