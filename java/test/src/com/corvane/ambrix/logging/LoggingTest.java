package com.corvane.ambrix.logging;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.params.provider.Arguments.arguments;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.logging.Formatter;
import java.util.logging.Handler;
import java.util.logging.Level;
import java.util.logging.LogRecord;
import java.util.logging.Logger;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class LoggingTest {
    /** Writes the message as it is, so that the framing is all that is added. */
    private static final class MessageOnly extends Formatter {
        @Override
        public String format(LogRecord record) {
            return record.getMessage();
        }
    }

    static Stream<Arguments> statements() {
        return Stream.of(
                arguments("abc\n", "abc\n\u000B\u000C"),
                arguments("abc", "abc\n\u000B\u000C"),
                arguments("", "\n\u000B\u000C"),
                arguments("two\nlines\n", "two\nlines\n\u000B\u000C"),
                arguments("lone \u000B stays", "lone \u000B stays\n\u000B\u000C"),
                // A terminator inside the text would end the statement early.
                arguments("cut\u000B\u000Chere", "cut\\v\\fhere\n\u000B\u000C"),
                arguments("caf\u00e9 {}", "caf\u00e9 {}\n\u000B\u000C"));
    }

    @ParameterizedTest
    @MethodSource
    void statements(String formatted, String written) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        FramedStderrHandler handler = new FramedStderrHandler(out);
        handler.setFormatter(new MessageOnly());
        handler.publish(new LogRecord(Level.INFO, formatted));
        assertEquals(written, out.toString(StandardCharsets.UTF_8));
    }

    @Test
    void printedLinesBecomeRecordsAndPrintingWhilePublishingIsDropped() {
        Logger logger = Logger.getAnonymousLogger();
        logger.setUseParentHandlers(false);
        logger.setLevel(Level.ALL);
        List<String> records = new ArrayList<>();
        PrintStream printed = new PrintStream(new LoggingOutputStream(logger, Level.INFO), false, StandardCharsets.UTF_8);
        logger.addHandler(new Handler() {
            @Override
            public void publish(LogRecord record) {
                records.add(record.getLevel() + " " + record.getMessage());
                // A handler that prints would otherwise loop forever.
                printed.println("echo of " + record.getMessage());
            }

            @Override
            public void flush() {
            }

            @Override
            public void close() {
            }
        });
        printed.print("first line\r\nsecond ");
        printed.print("line\n\n   \n");
        printed.print("prompt without line feed");
        assertEquals(List.of("INFO first line", "INFO second line"), records);
        printed.flush();
        assertEquals(List.of("INFO first line", "INFO second line", "INFO prompt without line feed"), records);
    }
}
