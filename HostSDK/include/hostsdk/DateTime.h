// Host dates and times: days since the host's epoch (1 January of year 1 is
// day 1, proleptic Gregorian calendar) and microseconds since midnight.
//
// Text forms: date "M/D/YYYY", time "H:MM:SS AM" (12-hour, with ".ffffff"
// only when there are microseconds), timestamp "M/D/YYYY H:MM:SS AM".
#pragma once

#include <string>

#include "hostsdk/CallBlock.h"
#include "hostsdk/Export.h"

namespace fmx {

class FixPt;

class FMX_API DateTime {
public:
    // Day 0 (no date), midnight.
    DateTime();

    // Sets the date, carrying overflowing months and days into the next
    // month or year and underflowing ones back (13/1/2020 is 1/1/2021,
    // 3/0/2024 is 2/29/2024). Returns kErrInvalidArgument and leaves the date
    // unchanged when the result lies before 1/1/1 or after 12/31/32767.
    FMX_ErrorCode SetNormalizedDate(FMX_Int16 month, FMX_Int16 day, FMX_Int16 year);
    // Sets the time of day; whole days of overflow or underflow move the date
    // (25:00:00 is 1:00:00 on the next day). Returns kErrInvalidArgument and
    // changes nothing when the result leaves the valid day range.
    FMX_ErrorCode SetNormalizedTime(FMX_Int64 hour, FMX_Int16 minute, FMX_Int16 sec, FMX_Int32 usec = 0);
    // The current local date and time.
    void SetNow();
    void SetDaysSinceEpoch(FMX_Int64 days);
    // Whole seconds and fractions; values outside one day carry into the date.
    void SetSecsSinceMidnight(const FixPt& secs);
    // Seconds since 1/1/1 00:00:00 (the number form of a timestamp).
    void SetSecondsSinceEpoch(const FixPt& seconds);

    FMX_Int32 GetDaysSinceEpoch() const;
    void GetSecsSinceMidnight(FixPt& secs) const;
    FMX_Int64 GetMicrosSinceMidnight() const;
    // Seconds since 1/1/1 00:00:00; a time without a date counts from 0.
    void GetSecondsSinceEpoch(FixPt& seconds) const;

    // Calendar fields of the date; 0 for all three when there is no date.
    FMX_Int16 GetYear() const;
    FMX_Int16 GetMonth() const;
    FMX_Int16 GetDay() const;
    // 1 = Sunday ... 7 = Saturday; 0 when there is no date.
    FMX_Int16 GetDayOfWeek() const;
    FMX_Int16 GetHour() const;
    FMX_Int16 GetMinute() const;
    FMX_Int16 GetSec() const;
    FMX_Int32 GetUsec() const;

    bool HasDate() const;

    std::string DateText() const;
    std::string TimeText() const;
    std::string TimeStampText() const;
    // Reads "M/D/YYYY", "YYYY-MM-DD", a time "H:MM[:SS[.fff]] [AM|PM]" or a
    // date followed by a time ("T" allowed between ISO parts). Returns false
    // and changes nothing when `text` has none of these forms.
    bool AssignText(const std::string& text);

    bool operator==(const DateTime& other) const;
    bool operator!=(const DateTime& other) const;
    bool operator<(const DateTime& other) const;

private:
    FMX_Int64 days_;
    FMX_Int64 micros_;
};

}  // namespace fmx
