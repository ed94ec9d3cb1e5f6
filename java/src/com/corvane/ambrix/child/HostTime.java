package com.corvane.ambrix.child;

import java.time.LocalDate;
import java.time.LocalDateTime;
import java.time.LocalTime;

/** The host counts timestamps in seconds from the start of its day 1, 1 January of year 1. */
final class HostTime {
    static final long SECONDS_PER_DAY = 86_400L;
    private static final LocalDate DAY_ONE = LocalDate.of(1, 1, 1);

    private HostTime() {
    }

    /** Null for values without a date: the host's day 0 holds times of day only. */
    static LocalDateTime toDateTime(long seconds) {
        long day = Math.floorDiv(seconds, SECONDS_PER_DAY);
        if (day < 1) {
            return null;
        }
        return DAY_ONE.plusDays(day - 1).atTime(timeOfDay(seconds));
    }

    static LocalTime timeOfDay(long seconds) {
        return LocalTime.ofSecondOfDay(Math.floorMod(seconds, SECONDS_PER_DAY));
    }
}
