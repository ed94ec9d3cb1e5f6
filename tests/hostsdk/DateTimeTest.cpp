#include <gtest/gtest.h>

#include <string>

#include "hostsdk/fmx.h"

namespace {

struct DateCase {
    FMX_Int16 month;
    FMX_Int16 day;
    FMX_Int16 year;
    FMX_Int32 days;
    const char* text;
};

TEST(DateTime, DayNumbersCountFromTheFirstOfJanuaryOfYearOne) {
    const DateCase cases[] = {
        {1, 1, 1, 1, "1/1/0001"},
        {1, 1, 2000, 730120, "1/1/2000"},
        {2, 29, 2024, 738945, "2/29/2024"},
        {12, 9, 2026, 739959, "12/9/2026"},
        // Overflowing and underflowing parts carry.
        {13, 1, 2019, 737425, "1/1/2020"},
        {3, 0, 2024, 738945, "2/29/2024"},
        {0, 1, 2000, 730120 - 31, "12/1/1999"},
        {2, 30, 2023, 738581, "3/2/2023"},
        {1, 366, 2023, 738886, "1/1/2024"},
    };
    for (const auto& c : cases) {
        fmx::DateTime date;
        ASSERT_EQ(date.SetNormalizedDate(c.month, c.day, c.year), 0) << c.text;
        EXPECT_EQ(date.GetDaysSinceEpoch(), c.days) << c.text;
        EXPECT_EQ(date.DateText(), c.text);
    }
}

TEST(DateTime, DatesBeforeDayOneAreRefused) {
    fmx::DateTime date;
    date.SetNormalizedDate(5, 5, 2005);
    EXPECT_NE(date.SetNormalizedDate(1, 0, 1), 0);
    EXPECT_NE(date.SetNormalizedDate(1, 1, 0), 0);
    EXPECT_EQ(date.DateText(), "5/5/2005") << "a refused date leaves the value alone";
}

TEST(DateTime, TimeOverflowMovesTheDate) {
    struct Case {
        FMX_Int64 hour;
        FMX_Int16 minute;
        FMX_Int16 second;
        FMX_Int32 usec;
        const char* expected;
    };
    const Case cases[] = {
        {0, 0, 0, 0, "6/15/2020 12:00:00 AM"},
        {12, 30, 0, 0, "6/15/2020 12:30:00 PM"},
        {23, 59, 59, 500000, "6/15/2020 11:59:59.5 PM"},
        {25, 0, 0, 0, "6/16/2020 1:00:00 AM"},
        {0, 90, 0, 0, "6/15/2020 1:30:00 AM"},
        {0, 0, -1, 0, "6/14/2020 11:59:59 PM"},
        {48, 0, 61, 0, "6/17/2020 12:01:01 AM"},
    };
    for (const auto& c : cases) {
        fmx::DateTime stamp;
        stamp.SetNormalizedDate(6, 15, 2020);
        ASSERT_EQ(stamp.SetNormalizedTime(c.hour, c.minute, c.second, c.usec), 0) << c.expected;
        EXPECT_EQ(stamp.TimeStampText(), c.expected);
    }
}

TEST(DateTime, AbsurdHoursAreRefusedWithoutOverflow) {
    fmx::DateTime stamp;
    EXPECT_NE(stamp.SetNormalizedTime(INT64_MAX, 0, 0), 0);
    EXPECT_NE(stamp.SetNormalizedTime(INT64_MIN, 0, 0), 0);
    EXPECT_EQ(stamp.GetDaysSinceEpoch(), 0);
}

TEST(DateTime, SecondsSinceMidnightIncludeFractions) {
    fmx::DateTime stamp;
    stamp.SetNormalizedTime(1, 0, 2, 250000);
    fmx::FixPt secs;
    stamp.GetSecsSinceMidnight(secs);
    EXPECT_EQ(secs.AsText(), "3602.25");
    EXPECT_EQ(secs.AsLong(), 3602);
}

TEST(DateTime, ReadsTheTextFormsItWrites) {
    struct Case {
        const char* text;
        bool ok;
        const char* stamp;
    };
    const Case cases[] = {
        {"12/9/2026 1:12:06 AM", true, "12/9/2026 1:12:06 AM"},
        {"12/9/2026", true, "12/9/2026 12:00:00 AM"},
        {"2026-12-09T13:05:00", true, "12/9/2026 1:05:00 PM"},
        {" 2026-12-09 13:05 ", true, "12/9/2026 1:05:00 PM"},
        {"1:12:06.25 pm", true, "1:12:06.25 PM"},
        {"2/30/2023", false, ""},
        {"13/1/2023", false, ""},
        {"12/9/2026 25:00", false, ""},
        {"13:00 PM", false, ""},
        {"12/9/2026 junk", false, ""},
        {"hello", false, ""},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        fmx::DateTime stamp;
        EXPECT_EQ(stamp.AssignText(c.text), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(stamp.TimeStampText(), c.stamp) << c.text;
        }
    }
}

TEST(DateTime, CalendarFields) {
    fmx::DateTime stamp;
    stamp.SetNormalizedDate(12, 9, 2026);
    stamp.SetNormalizedTime(13, 12, 6);
    EXPECT_EQ(stamp.GetYear(), 2026);
    EXPECT_EQ(stamp.GetMonth(), 12);
    EXPECT_EQ(stamp.GetDay(), 9);
    EXPECT_EQ(stamp.GetDayOfWeek(), 4);  // a Wednesday
    EXPECT_EQ(stamp.GetHour(), 13);
    EXPECT_EQ(stamp.GetMinute(), 12);
    EXPECT_EQ(stamp.GetSec(), 6);
}

}  // namespace
