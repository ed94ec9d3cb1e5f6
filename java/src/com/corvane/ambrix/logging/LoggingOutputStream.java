package com.corvane.ambrix.logging;

import java.io.ByteArrayOutputStream;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.logging.Level;
import java.util.logging.Logger;

/**
 * The stream behind {@code System.out} and {@code System.err}: each line becomes a log record.
 * Lines are collected per thread, so that concurrent printing does not mix them.
 */
public final class LoggingOutputStream extends OutputStream {
    /** A line longer than this is logged in pieces rather than held without bound. */
    static final int MAX_LINE_BYTES = 64 * 1024;

    private final Logger logger;
    private final Level level;
    private final ThreadLocal<ByteArrayOutputStream> lines = new ThreadLocal<ByteArrayOutputStream>() {
        @Override
        protected ByteArrayOutputStream initialValue() {
            return new ByteArrayOutputStream();
        }
    };
    // A handler that prints while it publishes would come back here; those writes are dropped.
    private final ThreadLocal<Boolean> publishing = new ThreadLocal<>();

    public LoggingOutputStream(Logger logger, Level level) {
        this.logger = logger;
        this.level = level;
    }

    @Override
    public void write(int b) {
        if (Boolean.TRUE.equals(publishing.get())) {
            return;
        }
        ByteArrayOutputStream line = lines.get();
        if (b == '\n') {
            emit(line);
            return;
        }
        line.write(b);
        if (line.size() >= MAX_LINE_BYTES) {
            emit(line);
        }
    }

    /**
     * Works on a copy: {@link java.io.PrintStream} hands over its encoder's own buffer, which a
     * handler that prints while this stream logs would overwrite under the loop.
     */
    @Override
    public void write(byte[] bytes, int offset, int length) {
        for (byte b : Arrays.copyOfRange(bytes, offset, offset + length)) {
            write(b);
        }
    }

    /** An explicit flush logs the partial line, so that a prompt without a line feed is not lost. */
    @Override
    public void flush() {
        ByteArrayOutputStream line = lines.get();
        if (line.size() > 0) {
            emit(line);
        }
    }

    private void emit(ByteArrayOutputStream line) {
        String text = new String(line.toByteArray(), StandardCharsets.UTF_8);
        line.reset();
        if (text.endsWith("\r")) {
            text = text.substring(0, text.length() - 1);
        }
        if (text.trim().isEmpty()) {
            return;
        }
        publishing.set(Boolean.TRUE);
        try {
            logger.log(level, text);
        } finally {
            publishing.remove();
        }
    }
}
