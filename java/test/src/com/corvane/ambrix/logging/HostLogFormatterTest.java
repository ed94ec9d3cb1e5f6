package com.corvane.ambrix.logging;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.time.Instant;
import java.util.Locale;
import java.util.TimeZone;
import java.util.logging.Formatter;
import java.util.logging.Level;
import java.util.logging.LogRecord;
import java.util.logging.SimpleFormatter;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

class HostLogFormatterTest {
    private Locale savedLocale;
    private TimeZone savedZone;

    @BeforeEach
    void english() {
        savedLocale = Locale.getDefault();
        savedZone = TimeZone.getDefault();
        Locale.setDefault(Locale.US);
    }

    @AfterEach
    void restore() {
        Locale.setDefault(savedLocale);
        TimeZone.setDefault(savedZone);
    }

    private static LogRecord record(long millis, Level level, String message) {
        LogRecord record = new LogRecord(level, message);
        record.setInstant(Instant.ofEpochMilli(millis));
        record.setSourceClassName("com.example.Source");
        record.setSourceMethodName("method");
        record.setLoggerName("com.example");
        return record;
    }

    @Test
    void writesWhatTheJdksFormatterWrites() {
        long[] instants = {
            0L,                 // the epoch
            -1L,                // just before it
            1733788800000L,     // a midnight in UTC: 12 AM
            1733832000000L,     // noon in UTC: 12 PM
            1709208000000L,     // 2024-02-29, a leap day
            1710054000000L,     // around a daylight-saving change in New York
            4102444799000L,     // the last second of 2099
            -30610224000000L,   // the year 1000 (in UTC only: zones had local mean times then)
            -59011459200000L,   // the year 0100, padded to four digits (UTC only)
        };
        String[] zones = {"UTC", "America/New_York", "Asia/Kolkata", "Pacific/Chatham"};
        for (String zone : zones) {
            TimeZone.setDefault(TimeZone.getTimeZone(zone));
            Formatter jdk = new SimpleFormatter();
            Formatter ours = new HostLogFormatter();
            for (long instant : instants) {
                if (instant < -2208988800000L && !zone.equals("UTC")) {
                    continue;
                }
                LogRecord record = record(instant, Level.INFO, "café {0}");
                assertEquals(jdk.format(record), ours.format(record), zone + " " + instant);
            }
        }
    }

    @Test
    void sourceParametersAndThrowableAreWrittenAsTheJdkDoes() {
        TimeZone.setDefault(TimeZone.getTimeZone("Europe/Berlin"));
        LogRecord noSource = record(1733832000000L, Level.WARNING, "no source");
        noSource.setSourceClassName(null);
        LogRecord noMethod = record(1733832000000L, Level.FINE, "no method");
        noMethod.setSourceMethodName(null);
        LogRecord parameters = record(1733832000000L, Level.SEVERE, "value {0} of {1}");
        parameters.setParameters(new Object[] {"x", 2});
        LogRecord thrown = record(1733832000000L, Level.SEVERE, "failed");
        thrown.setThrown(new IllegalStateException("broken", new RuntimeException("cause")));
        // A level of a plug-in's own, named through a bundle of its own or not at all.
        LogRecord ownLevel = record(1733832000000L, new Level("NOTICE", 850) {
            private static final long serialVersionUID = 1L;
        }, "own level");
        for (LogRecord record : new LogRecord[] {noSource, noMethod, parameters, thrown, ownLevel}) {
            assertEquals(new SimpleFormatter().format(record), new HostLogFormatter().format(record),
                    record.getMessage());
        }
    }

    @Test
    void replacesOnlyAPlainSimpleFormatterInEnglish() {
        assertTrue(HostLogFormatter.replaces(new SimpleFormatter()));
        assertFalse(HostLogFormatter.replaces(new SimpleFormatter() {
        }), "a subclass may format differently");
        assertFalse(HostLogFormatter.replaces(null));
        Locale.setDefault(Locale.GERMANY);
        assertFalse(HostLogFormatter.replaces(new SimpleFormatter()), "month names follow the locale");
        Locale.setDefault(Locale.US);
        System.setProperty("java.util.logging.SimpleFormatter.format", "%5$s%n");
        try {
            assertFalse(HostLogFormatter.replaces(new SimpleFormatter()), "a custom format");
        } finally {
            System.clearProperty("java.util.logging.SimpleFormatter.format");
        }
    }
}
