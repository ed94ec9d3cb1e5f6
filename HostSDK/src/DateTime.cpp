#include "hostsdk/DateTime.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <optional>
#include <string_view>

#include "Calendar.h"
#include "hostsdk/Errors.h"
#include "hostsdk/FixPt.h"

namespace fmx {

using hostsdk_detail::floor_div;
using hostsdk_detail::floor_mod;
using hostsdk_detail::kMicrosPerDay;
using hostsdk_detail::kMicrosPerSecond;

namespace {

// Hours beyond this would overflow the microsecond arithmetic; no valid
// date range needs them.
constexpr FMX_Int64 kMaxAbsHours = 400'000'000;

bool valid_day(FMX_Int64 day) { return day >= 0 && day <= hostsdk_detail::last_host_day(); }

// A cursor over date/time text.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool at_end() const { return pos_ >= text_.size(); }
    void skip_blanks() {
        while (!at_end() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    bool accept(char c) {
        if (!at_end() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool accept_word(std::string_view word) {
        if (text_.size() - pos_ < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (std::toupper(static_cast<unsigned char>(text_[pos_ + i])) != word[i]) return false;
        }
        pos_ += word.size();
        return true;
    }
    // Up to `maxDigits` digits; nothing when there is no digit here.
    std::optional<FMX_Int64> number(std::size_t maxDigits, std::size_t* digitCount = nullptr) {
        FMX_Int64 value = 0;
        std::size_t count = 0;
        while (!at_end() && count < maxDigits && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
            value = value * 10 + (text_[pos_] - '0');
            ++pos_;
            ++count;
        }
        if (digitCount != nullptr) *digitCount = count;
        if (count == 0) return std::nullopt;
        return value;
    }
    std::size_t position() const { return pos_; }
    void rewind(std::size_t pos) { pos_ = pos; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

struct ParsedDate {
    FMX_Int64 year;
    int month;
    int day;
};

struct ParsedTime {
    FMX_Int64 hour;
    int minute;
    int second;
    FMX_Int64 micros;
    bool twelve_hour;
};

std::optional<ParsedDate> parse_date(Scanner& in) {
    const std::size_t start = in.position();
    auto first = in.number(5);
    if (!first) return std::nullopt;
    std::optional<ParsedDate> date;
    if (in.accept('/')) {
        auto day = in.number(2);
        if (day && in.accept('/')) {
            if (auto year = in.number(5)) date = ParsedDate{*year, static_cast<int>(*first), static_cast<int>(*day)};
        }
    } else if (in.accept('-')) {
        auto month = in.number(2);
        if (month && in.accept('-')) {
            if (auto day = in.number(2)) date = ParsedDate{*first, static_cast<int>(*month), static_cast<int>(*day)};
        }
    }
    if (date && date->year >= 1 && date->year <= 32767 && date->month >= 1 && date->month <= 12 &&
        date->day >= 1 && date->day <= hostsdk_detail::days_in_month(date->year, date->month)) {
        return date;
    }
    in.rewind(start);
    return std::nullopt;
}

std::optional<ParsedTime> parse_time(Scanner& in) {
    auto hour = in.number(9);
    if (!hour || !in.accept(':')) return std::nullopt;
    auto minute = in.number(2);
    if (!minute || *minute > 59) return std::nullopt;
    ParsedTime time{*hour, static_cast<int>(*minute), 0, 0, false};
    if (in.accept(':')) {
        auto second = in.number(2);
        if (!second || *second > 59) return std::nullopt;
        time.second = static_cast<int>(*second);
        if (in.accept('.')) {
            std::size_t digits = 0;
            auto fraction = in.number(6, &digits);
            if (!fraction) return std::nullopt;
            time.micros = *fraction;
            for (std::size_t i = digits; i < 6; ++i) time.micros *= 10;
        }
    }
    in.skip_blanks();
    const bool pm = in.accept_word("PM");
    if (pm || in.accept_word("AM")) {
        if (time.hour < 1 || time.hour > 12) return std::nullopt;
        time.hour = time.hour % 12 + (pm ? 12 : 0);
        time.twelve_hour = true;
    }
    return time;
}

std::string fraction_text(FMX_Int64 micros) {
    const FMX_Int64 fraction = micros % kMicrosPerSecond;
    if (fraction == 0) return {};
    std::string digits = fmt::format(".{:06d}", fraction);
    while (digits.back() == '0') digits.pop_back();
    return digits;
}

}  // namespace

DateTime::DateTime() : days_(0), micros_(0) {}

FMX_ErrorCode DateTime::SetNormalizedDate(FMX_Int16 month, FMX_Int16 day, FMX_Int16 year) {
    const FMX_Int64 month_index = FMX_Int64{month} - 1;
    const FMX_Int64 normalized_year = year + floor_div(month_index, 12);
    const int normalized_month = static_cast<int>(floor_mod(month_index, 12)) + 1;
    const FMX_Int64 days =
        hostsdk_detail::host_day_from_civil(normalized_year, normalized_month, 1) + (FMX_Int64{day} - 1);
    if (days < 1 || days > hostsdk_detail::last_host_day()) return kErrInvalidArgument;
    days_ = days;
    return kErrNone;
}

FMX_ErrorCode DateTime::SetNormalizedTime(FMX_Int64 hour, FMX_Int16 minute, FMX_Int16 sec, FMX_Int32 usec) {
    if (hour > kMaxAbsHours || hour < -kMaxAbsHours) return kErrInvalidArgument;
    const FMX_Int64 total = ((hour * 60 + minute) * 60 + sec) * kMicrosPerSecond + usec;
    const FMX_Int64 days = days_ + floor_div(total, kMicrosPerDay);
    if (!valid_day(days)) return kErrInvalidArgument;
    days_ = days;
    micros_ = floor_mod(total, kMicrosPerDay);
    return kErrNone;
}

void DateTime::SetNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    days_ = hostsdk_detail::host_day_from_civil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    micros_ = ((FMX_Int64{local.tm_hour} * 60 + local.tm_min) * 60 + local.tm_sec) * kMicrosPerSecond;
}

void DateTime::SetDaysSinceEpoch(FMX_Int64 days) {
    days_ = std::clamp<FMX_Int64>(days, 0, hostsdk_detail::last_host_day());
}

void DateTime::SetSecsSinceMidnight(const FixPt& secs) {
    const long double micros = std::round(secs.GetValue() * kMicrosPerSecond);
    if (!std::isfinite(micros) || std::fabs(micros) > static_cast<long double>(kMaxAbsHours) * 3600 * kMicrosPerSecond) {
        return;
    }
    const auto total = static_cast<FMX_Int64>(micros);
    const FMX_Int64 days = days_ + floor_div(total, kMicrosPerDay);
    if (!valid_day(days)) return;
    days_ = days;
    micros_ = floor_mod(total, kMicrosPerDay);
}

void DateTime::SetSecondsSinceEpoch(const FixPt& seconds) {
    const long double micros = std::round(seconds.GetValue() * kMicrosPerSecond);
    const long double limit = static_cast<long double>(hostsdk_detail::last_host_day()) * kMicrosPerDay;
    if (!std::isfinite(micros) || micros < 0 || micros >= limit) return;
    const auto total = static_cast<FMX_Int64>(micros);
    days_ = total / kMicrosPerDay + 1;
    micros_ = total % kMicrosPerDay;
}

FMX_Int32 DateTime::GetDaysSinceEpoch() const { return static_cast<FMX_Int32>(days_); }

void DateTime::GetSecsSinceMidnight(FixPt& secs) const {
    secs.SetValue(static_cast<long double>(micros_) / kMicrosPerSecond);
}

FMX_Int64 DateTime::GetMicrosSinceMidnight() const { return micros_; }

void DateTime::GetSecondsSinceEpoch(FixPt& seconds) const {
    const FMX_Int64 whole_days = days_ > 0 ? days_ - 1 : 0;
    seconds.SetValue(static_cast<long double>(whole_days) * 86400 +
                     static_cast<long double>(micros_) / kMicrosPerSecond);
}

FMX_Int16 DateTime::GetYear() const {
    return HasDate() ? static_cast<FMX_Int16>(hostsdk_detail::civil_from_host_day(days_).year) : 0;
}
FMX_Int16 DateTime::GetMonth() const {
    return HasDate() ? static_cast<FMX_Int16>(hostsdk_detail::civil_from_host_day(days_).month) : 0;
}
FMX_Int16 DateTime::GetDay() const {
    return HasDate() ? static_cast<FMX_Int16>(hostsdk_detail::civil_from_host_day(days_).day) : 0;
}
FMX_Int16 DateTime::GetDayOfWeek() const {
    // Day 1 (1/1/1) was a Monday.
    return HasDate() ? static_cast<FMX_Int16>(days_ % 7 + 1) : 0;
}
FMX_Int16 DateTime::GetHour() const { return static_cast<FMX_Int16>(micros_ / (3600 * kMicrosPerSecond)); }
FMX_Int16 DateTime::GetMinute() const {
    return static_cast<FMX_Int16>(micros_ / (60 * kMicrosPerSecond) % 60);
}
FMX_Int16 DateTime::GetSec() const { return static_cast<FMX_Int16>(micros_ / kMicrosPerSecond % 60); }
FMX_Int32 DateTime::GetUsec() const { return static_cast<FMX_Int32>(micros_ % kMicrosPerSecond); }

bool DateTime::HasDate() const { return days_ > 0; }

std::string DateTime::DateText() const {
    if (!HasDate()) return {};
    const auto date = hostsdk_detail::civil_from_host_day(days_);
    return fmt::format("{}/{}/{:04d}", date.month, date.day, date.year);
}

std::string DateTime::TimeText() const {
    const int hour = GetHour();
    const int twelve = hour % 12 == 0 ? 12 : hour % 12;
    return fmt::format("{}:{:02d}:{:02d}{} {}", twelve, GetMinute(), GetSec(), fraction_text(micros_),
                       hour < 12 ? "AM" : "PM");
}

std::string DateTime::TimeStampText() const {
    if (!HasDate()) return TimeText();
    return DateText() + " " + TimeText();
}

bool DateTime::AssignText(const std::string& text) {
    Scanner in(text);
    in.skip_blanks();
    const auto date = parse_date(in);
    std::optional<ParsedTime> time;
    if (date) {
        in.skip_blanks();
        in.accept('T');
        in.skip_blanks();
        if (!in.at_end()) {
            time = parse_time(in);
            if (!time || time->hour > 23) return false;
        }
    } else {
        time = parse_time(in);
        if (!time) return false;
    }
    in.skip_blanks();
    if (!in.at_end()) return false;

    DateTime parsed;
    if (date) parsed.days_ = hostsdk_detail::host_day_from_civil(date->year, date->month, date->day);
    if (time && parsed.SetNormalizedTime(time->hour, static_cast<FMX_Int16>(time->minute),
                                         static_cast<FMX_Int16>(time->second),
                                         static_cast<FMX_Int32>(time->micros)) != kErrNone) {
        return false;
    }
    *this = parsed;
    return true;
}

bool DateTime::operator==(const DateTime& other) const {
    return days_ == other.days_ && micros_ == other.micros_;
}
bool DateTime::operator!=(const DateTime& other) const { return !(*this == other); }
bool DateTime::operator<(const DateTime& other) const {
    return days_ != other.days_ ? days_ < other.days_ : micros_ < other.micros_;
}

}  // namespace fmx
