#include "Builtins.h"

#include "CalcError.h"
#include "Values.h"

#include <cmath>
#include <cstdint>
#include <strings.h>

namespace hostsim::calc {
namespace {

constexpr FMX_Int64 kInt16Min = INT16_MIN;
constexpr FMX_Int64 kInt16Max = INT16_MAX;

fmx::Data make_date(const std::vector<fmx::Data>& args) {
    const auto month = whole_number_of(args[0], kInt16Min, kInt16Max, "Date month");
    const auto day = whole_number_of(args[1], kInt16Min, kInt16Max, "Date day");
    const auto year = whole_number_of(args[2], kInt16Min, kInt16Max, "Date year");
    fmx::DateTime date;
    if (date.SetNormalizedDate(static_cast<FMX_Int16>(month), static_cast<FMX_Int16>(day),
                               static_cast<FMX_Int16>(year)) != 0)
        throw CalcError(kCalcError, "Date out of range");
    return date_time_value(date, fmx::Data::kDTDate);
}

fmx::Data make_time(const std::vector<fmx::Data>& args) {
    // Hours may be as large as a day count allows; the rest must fit their fields.
    const auto hours = whole_number_of(args[0], -24 * last_valid_day(), 24 * last_valid_day(), "Time hours");
    const auto minutes = whole_number_of(args[1], kInt16Min, kInt16Max, "Time minutes");
    const auto seconds = whole_number_of(args[2], kInt16Min, kInt16Max, "Time seconds");
    const long double fraction = args[2].GetAsNumber().GetValue() - static_cast<long double>(seconds);
    const auto micros = static_cast<FMX_Int32>(std::lround(fraction * 1e6L));
    fmx::DateTime time;
    if (time.SetNormalizedTime(hours, static_cast<FMX_Int16>(minutes), static_cast<FMX_Int16>(seconds), micros) != 0)
        throw CalcError(kCalcError, "Time out of range");
    return date_time_value(time, fmx::Data::kDTTime);
}

fmx::Data make_timestamp(const std::vector<fmx::Data>& args) {
    const auto date_kind = args[0].GetNativeType();
    const auto time_kind = args[1].GetNativeType();
    if (date_kind != fmx::Data::kDTDate && date_kind != fmx::Data::kDTTimeStamp)
        throw CalcError(kCalcError, "Timestamp needs a date first");
    if (time_kind != fmx::Data::kDTTime && time_kind != fmx::Data::kDTTimeStamp)
        throw CalcError(kCalcError, "Timestamp needs a time second");
    fmx::FixPt seconds;
    args[1].GetAsTimeStamp().GetSecsSinceMidnight(seconds);
    fmx::DateTime stamp;
    stamp.SetDaysSinceEpoch(args[0].GetAsTimeStamp().GetDaysSinceEpoch());
    stamp.SetSecsSinceMidnight(seconds);
    return date_time_value(stamp, fmx::Data::kDTTimeStamp);
}

fmx::Data make_container(const std::vector<fmx::Data>& args) {
    const fmx::Text& name = args[0].GetAsText();
    if (name.GetSize() == 0) throw CalcError(kCalcError, "Container needs a file name");
    std::string content = args[1].GetAsText().GetUTF8();
    fmx::BinaryData container(name, static_cast<FMX_UInt32>(content.size()), content.data());
    fmx::Data value;
    value.SetBinaryData(container);
    return value;
}

fmx::Data length(const std::vector<fmx::Data>& args) {
    // Characters, not UTF-16 units: the second half of a surrogate pair does not count.
    FMX_Int64 characters = 0;
    for (const FMX_Unichar unit : args[0].GetAsText().GetUnits())
        if (unit < 0xDC00 || unit > 0xDFFF) ++characters;
    fmx::FixPt number;
    number.AssignInt64(characters);
    return number_value(number);
}

fmx::Data upper(const std::vector<fmx::Data>& args) {
    fmx::Text text(args[0].GetAsText());
    text.Uppercase();
    return text_value(text);
}

fmx::Data lower(const std::vector<fmx::Data>& args) {
    fmx::Text text(args[0].GetAsText());
    text.Lowercase();
    return text_value(text);
}

const Builtin kBuiltins[] = {
    {"Date", 3, 3, make_date},
    {"Time", 3, 3, make_time},
    {"Timestamp", 2, 2, make_timestamp},
    {"Container", 2, 2, make_container},
    {"Length", 1, 1, length},
    {"Upper", 1, 1, upper},
    {"Lower", 1, 1, lower},
};

}  // namespace

const Builtin* find_builtin(const std::string& name) {
    for (const Builtin& builtin : kBuiltins)
        if (strcasecmp(builtin.name, name.c_str()) == 0) return &builtin;
    return nullptr;
}

}  // namespace hostsim::calc
