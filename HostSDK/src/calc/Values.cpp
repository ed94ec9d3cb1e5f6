#include "Values.h"

#include "CalcError.h"

#include <fmt/format.h>

#include <cmath>

namespace hostsim::calc {

fmx::Data number_value(const fmx::FixPt& number) {
    fmx::Data value;
    value.SetAsNumber(checked(number));
    return value;
}

fmx::Data text_value(const fmx::Text& text) {
    fmx::Data value;
    value.SetAsText(text, fmx::Locale());
    return value;
}

fmx::Data text_value(const std::string& utf8) { return text_value(fmx::Text(utf8.c_str())); }

fmx::Data date_time_value(const fmx::DateTime& date_time, fmx::Data::DataType kind) {
    fmx::Data value;
    value.SetDateTime(date_time, kind, kind);
    return value;
}

bool is_numeric(const fmx::Data& value) {
    const auto type = value.GetNativeType();
    return type == fmx::Data::kDTNumber || type == fmx::Data::kDTBoolean;
}

bool is_temporal(const fmx::Data& value) {
    const auto type = value.GetNativeType();
    return type == fmx::Data::kDTDate || type == fmx::Data::kDTTime || type == fmx::Data::kDTTimeStamp;
}

const fmx::FixPt& number_of(const fmx::Data& value, const char* context) {
    if (!is_numeric(value)) throw CalcError(kCalcError, fmt::format("{} needs a number", context));
    return value.GetAsNumber();
}

FMX_Int64 whole_number_of(const fmx::Data& value, FMX_Int64 low, FMX_Int64 high, const char* context) {
    const long double number = number_of(value, context).GetValue();
    if (!(number >= static_cast<long double>(low) && number <= static_cast<long double>(high)))
        throw CalcError(kCalcError, fmt::format("{} is out of range", context));
    return static_cast<FMX_Int64>(std::trunc(number));
}

const fmx::FixPt& checked(const fmx::FixPt& number) {
    if (!std::isfinite(number.GetValue())) throw CalcError(kCalcError, "number out of range");
    return number;
}

FMX_Int64 last_valid_day() {
    static const FMX_Int64 last = [] {
        fmx::DateTime date;
        date.SetNormalizedDate(12, 31, 32767);
        return static_cast<FMX_Int64>(date.GetDaysSinceEpoch());
    }();
    return last;
}

}  // namespace hostsim::calc
