package com.corvane.ambrix;

import com.corvane.ambrix.child.ChildSession;
import com.corvane.ambrix.child.ParentWatcher;
import com.corvane.ambrix.logging.LogSetup;
import com.corvane.ambrix.logging.LoggingOutputStream;

import java.io.BufferedInputStream;
import java.io.BufferedOutputStream;
import java.io.ByteArrayInputStream;
import java.io.FileDescriptor;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.io.UnsupportedEncodingException;
import java.nio.charset.StandardCharsets;
import java.util.logging.Level;
import java.util.logging.Logger;

/**
 * The child process that the bridge starts. Standard input and output carry the binary protocol
 * with the bridge, standard error carries log statements.
 */
public final class PipeChild {
    static final String STARTUP_TOKEN = "IMALIVE";
    private static final int PIPE_BUFFER_BYTES = 64 * 1024;
    private static final long PARENT_CHECK_MILLIS = 500;

    private PipeChild() {
    }

    public static void main(String[] args) {
        // Bound to the parent that started this process, before anything can take time.
        ParentWatcher.Probe parentProbe = ParentWatcher.forThisProcess();
        StartupWarmUp.start();
        OutputStream standardError = new FileOutputStream(FileDescriptor.err);
        // Standard output belongs to the protocol alone; System.out is pointed at the log below.
        OutputStream protocolOut = new BufferedOutputStream(new FileOutputStream(FileDescriptor.out), PIPE_BUFFER_BYTES);
        try {
            announce(standardError, protocolOut);
        } catch (IOException e) {
            System.exit(ChildSession.EXIT_BROKEN_STREAM);
        }
        LogSetup.install(standardError);
        redirectStandardStreams();
        Logger log = Logger.getLogger(PipeChild.class.getName());

        ChildSession session = new ChildSession(
                new BufferedInputStream(new FileInputStream(FileDescriptor.in), PIPE_BUFFER_BYTES),
                protocolOut,
                ChildSession.serviceLoader(PipeChild.class.getClassLoader()),
                System::exit);
        if (parentProbe != null) {
            new ParentWatcher(parentProbe, PARENT_CHECK_MILLIS, () -> session.stop(ChildSession.EXIT_PARENT_GONE)).start();
        } else {
            log.warning("Cannot watch the host process on this platform; this process ends with its input only");
        }
        log.fine("Started");
        session.run();
    }

    /** The start-up token the bridge waits for: plain on standard error, length-prefixed on standard output. */
    static void announce(OutputStream standardError, OutputStream protocolOut) throws IOException {
        byte[] token = STARTUP_TOKEN.getBytes(StandardCharsets.US_ASCII);
        standardError.write(token);
        standardError.flush();
        protocolOut.write(token.length >>> 8);
        protocolOut.write(token.length);
        protocolOut.write(token);
        protocolOut.flush();
    }

    /** Stray prints of plug-in code become log records, and nothing can read the protocol's input. */
    private static void redirectStandardStreams() {
        try {
            System.setOut(new PrintStream(new LoggingOutputStream(Logger.getLogger("System.out"), Level.INFO),
                    false, "UTF-8"));
            System.setErr(new PrintStream(new LoggingOutputStream(Logger.getLogger("System.err"), Level.WARNING),
                    false, "UTF-8"));
        } catch (UnsupportedEncodingException e) {
            throw new IllegalStateException("UTF-8 is always supported", e);
        }
        System.setIn(new ByteArrayInputStream(new byte[0]));
    }
}
