package com.corvane.ambrix.logging;

import java.io.ByteArrayOutputStream;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.UnsupportedEncodingException;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.util.logging.ErrorManager;
import java.util.logging.Filter;
import java.util.logging.Formatter;
import java.util.logging.Handler;
import java.util.logging.Level;
import java.util.logging.LogManager;
import java.util.logging.LogRecord;
import java.util.logging.SimpleFormatter;

/**
 * Writes each log record to standard error as one statement for the host's log: the formatted
 * text, ending with a line feed, followed by the bytes 0x0B 0x0C that mark its end.
 *
 * <p>Configured like the JDK's own handlers through the logging properties, with this class's
 * name as prefix: {@code .level} (default {@code ALL}), {@code .formatter} (default
 * {@link SimpleFormatter}, written by {@link HostLogFormatter} where the output is the same),
 * {@code .filter} and {@code .encoding} (default UTF-8).
 */
public class FramedStderrHandler extends Handler {
    static final byte[] TERMINATOR = {0x0B, 0x0C};
    private static final String BROKEN_TERMINATOR = "\u000B\u000C";

    private final OutputStream out;

    /** Writes to this process's standard error; the form the logging configuration instantiates. */
    public FramedStderrHandler() {
        this(new FileOutputStream(FileDescriptor.err));
    }

    public FramedStderrHandler(OutputStream out) {
        this.out = out;
        configure();
        setErrorManager(new FramedErrorManager(out));
    }

    @Override
    public synchronized void publish(LogRecord record) {
        if (!isLoggable(record)) {
            return;
        }
        String text;
        try {
            text = getFormatter().format(record);
        } catch (RuntimeException e) {
            reportError("Formatting a log record failed", e, ErrorManager.FORMAT_FAILURE);
            return;
        }
        try {
            out.write(frame(text, charset()));
            out.flush();
        } catch (IOException e) {
            reportError("Writing a log record failed", e, ErrorManager.WRITE_FAILURE);
        }
    }

    @Override
    public void flush() {
        try {
            out.flush();
        } catch (IOException e) {
            reportError("Flushing the log failed", e, ErrorManager.FLUSH_FAILURE);
        }
    }

    /** Standard error stays open: the host reads its end to learn that this process ended. */
    @Override
    public void close() {
        flush();
    }

    /**
     * One statement: the text, a line feed if the text has none at its end, the terminator. A
     * terminator inside the text would cut the statement in two, so it is broken up.
     */
    static byte[] frame(String text, Charset charset) {
        String body = text.replace(BROKEN_TERMINATOR, "\\v\\f");
        if (!body.endsWith("\n")) {
            body += "\n";
        }
        byte[] bytes = body.getBytes(charset);
        ByteArrayOutputStream framed = new ByteArrayOutputStream(bytes.length + TERMINATOR.length);
        framed.write(bytes, 0, bytes.length);
        framed.write(TERMINATOR, 0, TERMINATOR.length);
        return framed.toByteArray();
    }

    /** The formatter to use for {@code formatter}: the same output, made cheaply where possible. */
    static Formatter fastEquivalent(Formatter formatter) {
        return HostLogFormatter.replaces(formatter) ? new HostLogFormatter() : formatter;
    }

    private Charset charset() {
        String encoding = getEncoding();
        try {
            return encoding == null ? StandardCharsets.UTF_8 : Charset.forName(encoding);
        } catch (RuntimeException e) {
            return StandardCharsets.UTF_8;
        }
    }

    private void configure() {
        LogManager manager = LogManager.getLogManager();
        String prefix = getClass().getName();
        setLevel(parseLevel(manager.getProperty(prefix + ".level"), Level.ALL));
        Formatter formatter = instantiate(manager.getProperty(prefix + ".formatter"), Formatter.class);
        setFormatter(fastEquivalent(formatter != null ? formatter : new SimpleFormatter()));
        Filter filter = instantiate(manager.getProperty(prefix + ".filter"), Filter.class);
        if (filter != null) {
            setFilter(filter);
        }
        try {
            setEncoding(manager.getProperty(prefix + ".encoding"));
        } catch (UnsupportedEncodingException e) {
            reportError("Unknown log encoding; using UTF-8", e, ErrorManager.OPEN_FAILURE);
        }
    }

    static Level parseLevel(String name, Level fallback) {
        if (name == null) {
            return fallback;
        }
        try {
            return Level.parse(name.trim());
        } catch (IllegalArgumentException e) {
            return fallback;
        }
    }

    private static <T> T instantiate(String className, Class<T> type) {
        if (className == null || className.trim().isEmpty()) {
            return null;
        }
        try {
            Class<?> found = ClassLoader.getSystemClassLoader().loadClass(className.trim());
            return type.cast(found.getDeclaredConstructor().newInstance());
        } catch (ReflectiveOperationException | RuntimeException | LinkageError e) {
            return null;
        }
    }

    /**
     * Reports the handler's own failures framed like any statement, straight to its stream: the
     * JDK's error manager would print to {@code System.err}, which leads back into logging.
     */
    private static final class FramedErrorManager extends ErrorManager {
        private final OutputStream out;
        private boolean reported;

        FramedErrorManager(OutputStream out) {
            this.out = out;
        }

        @Override
        public synchronized void error(String message, Exception cause, int code) {
            if (reported) {
                return;
            }
            reported = true;
            try {
                out.write(frame("Log handler failure " + code + ": " + message + (cause == null ? "" : ": " + cause),
                        StandardCharsets.UTF_8));
                out.flush();
            } catch (IOException ignored) {
                // Standard error is gone; there is nowhere left to report to.
            }
        }
    }
}
