// Proleptic Gregorian calendar arithmetic on the host's day numbers
// (1 January of year 1 is day 1).
#pragma once

#include <cstdint>

namespace hostsdk_detail {

struct CivilDate {
    std::int64_t year;
    int month;
    int day;
};

inline constexpr std::int64_t kMicrosPerSecond = 1'000'000;
inline constexpr std::int64_t kMicrosPerDay = 86'400 * kMicrosPerSecond;

std::int64_t floor_div(std::int64_t a, std::int64_t b);
std::int64_t floor_mod(std::int64_t a, std::int64_t b);

std::int64_t host_day_from_civil(std::int64_t year, int month, int day);
CivilDate civil_from_host_day(std::int64_t hostDay);
int days_in_month(std::int64_t year, int month);

// The day number of 12/31/32767, the last date the host can hold.
std::int64_t last_host_day();

}  // namespace hostsdk_detail
