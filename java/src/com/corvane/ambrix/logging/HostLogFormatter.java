package com.corvane.ambrix.logging;

import java.io.PrintWriter;
import java.io.StringWriter;
import java.util.Locale;
import java.util.TimeZone;
import java.util.logging.Formatter;
import java.util.logging.Level;
import java.util.logging.LogManager;
import java.util.logging.LogRecord;
import java.util.logging.SimpleFormatter;

/**
 * Writes exactly what {@link SimpleFormatter} writes with its default format in an English
 * locale ("Dec 09, 2026 7:05:03 PM source method", a line feed, "LEVEL: message" and the stack
 * trace), without the general formatter and locale data that {@code SimpleFormatter} loads for its
 * first record: those take tens of milliseconds, paid while the host waits for the plug-in to
 * start.
 *
 * <p>{@link #replaces(Formatter)} tells whether the output would be the same; where a custom format
 * or another locale is configured, the JDK's formatter stays.
 */
public final class HostLogFormatter extends Formatter {
    private static final String[] MONTHS = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"
    };
    private static final long MILLIS_PER_DAY = 24L * 60 * 60 * 1000;
    private static final String JDK_LEVEL_NAMES = "sun.util.logging.resources.logging";
    private static final String FORMAT_PROPERTY = "java.util.logging.SimpleFormatter.format";

    private final TimeZone zone = TimeZone.getDefault();

    /** Whether this formatter writes what {@code formatter} would: a plain SimpleFormatter with the default format. */
    public static boolean replaces(Formatter formatter) {
        if (formatter == null || formatter.getClass() != SimpleFormatter.class) {
            return false;
        }
        if (System.getProperty(FORMAT_PROPERTY) != null
                || LogManager.getLogManager().getProperty(FORMAT_PROPERTY) != null) {
            return false;
        }
        return Locale.getDefault(Locale.Category.FORMAT).getLanguage().equals(Locale.ENGLISH.getLanguage());
    }

    @Override
    public String format(LogRecord record) {
        StringBuilder text = new StringBuilder(128);
        appendTime(text, record.getMillis());
        text.append(' ');
        if (record.getSourceClassName() != null) {
            text.append(record.getSourceClassName());
            if (record.getSourceMethodName() != null) {
                text.append(' ').append(record.getSourceMethodName());
            }
        } else {
            text.append(record.getLoggerName());
        }
        String newline = System.lineSeparator();
        text.append(newline);
        text.append(levelName(record.getLevel())).append(": ").append(formatMessage(record));
        if (record.getThrown() != null) {
            StringWriter trace = new StringWriter();
            PrintWriter writer = new PrintWriter(trace);
            writer.println();
            record.getThrown().printStackTrace(writer);
            writer.close();
            text.append(trace);
        }
        return text.append(newline).toString();
    }

    /**
     * The JDK's own levels are named the same in English; looking the name up in its resource
     * bundle would load the bundle machinery for nothing.
     */
    private static String levelName(Level level) {
        return JDK_LEVEL_NAMES.equals(level.getResourceBundleName()) ? level.getName() : level.getLocalizedName();
    }

    /** "MMM dd, yyyy h:mm:ss AM" in this formatter's time zone. */
    private void appendTime(StringBuilder text, long epochMillis) {
        long local = epochMillis + zone.getOffset(epochMillis);
        long days = Math.floorDiv(local, MILLIS_PER_DAY);
        long millisOfDay = Math.floorMod(local, MILLIS_PER_DAY);

        // Civil date from days since 1970-01-01 (proleptic Gregorian, as the JDK's formatter uses).
        long shifted = days + 719468;
        long era = Math.floorDiv(shifted, 146097);
        long dayOfEra = shifted - era * 146097;
        long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
        long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
        long monthIndex = (5 * dayOfYear + 2) / 153;
        long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
        long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
        long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

        int hour = (int) (millisOfDay / 3_600_000);
        int minute = (int) (millisOfDay / 60_000 % 60);
        int second = (int) (millisOfDay / 1000 % 60);
        int hourOfHalfDay = hour % 12 == 0 ? 12 : hour % 12;

        text.append(MONTHS[(int) month - 1]).append(' ');
        twoDigits(text, day).append(", ");
        if (year >= 0 && year < 1000) {
            text.append(year < 10 ? "000" : year < 100 ? "00" : "0");
        }
        text.append(year).append(' ').append(hourOfHalfDay).append(':');
        twoDigits(text, minute).append(':');
        twoDigits(text, second).append(hour < 12 ? " AM" : " PM");
    }

    private static StringBuilder twoDigits(StringBuilder text, long value) {
        return text.append(value < 10 ? "0" : "").append(value);
    }
}
