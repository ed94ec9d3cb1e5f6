package com.corvane.ambrix.child;

import java.io.IOException;
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Optional;
import java.util.logging.Level;
import java.util.logging.Logger;

/**
 * Ends this process when its parent dies. End of file on standard input cannot be relied on for
 * that: this process may hold a writer of that pipe itself, inherited from the parent.
 */
public final class ParentWatcher {
    /** Whether the parent still runs. */
    public interface Probe {
        boolean parentAlive();
    }

    private static final Logger LOG = Logger.getLogger(ParentWatcher.class.getName());
    static final Path PROC_SELF_STAT = Paths.get("/proc/self/stat");

    private final Probe probe;
    private final long intervalMillis;
    private final Runnable onParentGone;

    public ParentWatcher(Probe probe, long intervalMillis, Runnable onParentGone) {
        this.probe = probe;
        this.intervalMillis = intervalMillis;
        this.onParentGone = onParentGone;
    }

    /**
     * A probe for this process, bound to the parent it has now: on Linux the parent id in
     * {@code /proc/self/stat} (a dead parent's children are given to another process), elsewhere
     * the JDK's process handles where the runtime has them. Null when neither is available.
     * Take it as early as possible, so that it binds to the parent that started this process.
     */
    public static Probe forThisProcess() {
        Long parent = parentPidFromProc(PROC_SELF_STAT);
        if (parent != null) {
            long original = parent;
            return () -> {
                Long now = parentPidFromProc(PROC_SELF_STAT);
                return now == null || now == original;
            };
        }
        return processHandleProbe();
    }

    /** Starts watching on a daemon thread. */
    public Thread start() {
        Thread thread = new Thread(this::watch, "ambrix-parent-watch");
        thread.setDaemon(true);
        thread.start();
        return thread;
    }

    void watch() {
        try {
            while (probe.parentAlive()) {
                Thread.sleep(intervalMillis);
            }
        } catch (InterruptedException e) {
            return;
        }
        LOG.warning("The host process has ended; exiting");
        onParentGone.run();
    }

    /** The parent id from a stat line; the command name may hold blanks and parentheses. */
    static Long parentPidFromProc(Path stat) {
        try {
            String line = new String(Files.readAllBytes(stat), StandardCharsets.UTF_8);
            return parseParentPid(line);
        } catch (IOException | RuntimeException e) {
            return null;
        }
    }

    static Long parseParentPid(String statLine) {
        int end = statLine.lastIndexOf(')');
        if (end < 0) {
            return null;
        }
        String[] fields = statLine.substring(end + 1).trim().split("\\s+");
        if (fields.length < 2) {
            return null;
        }
        try {
            return Long.parseLong(fields[1]);
        } catch (NumberFormatException e) {
            return null;
        }
    }

    /** The JDK 9 process API, reached by reflection because the runtime classes target Java 8. */
    private static Probe processHandleProbe() {
        try {
            Class<?> handleType = Class.forName("java.lang.ProcessHandle");
            Object current = handleType.getMethod("current").invoke(null);
            Optional<?> parent = (Optional<?>) handleType.getMethod("parent").invoke(current);
            if (!parent.isPresent()) {
                return null;
            }
            Object handle = parent.get();
            Method isAlive = handleType.getMethod("isAlive");
            return () -> {
                try {
                    return (Boolean) isAlive.invoke(handle);
                } catch (ReflectiveOperationException e) {
                    return true;
                }
            };
        } catch (ReflectiveOperationException | RuntimeException e) {
            LOG.log(Level.FINE, "No process handles in this runtime", e);
            return null;
        }
    }
}
