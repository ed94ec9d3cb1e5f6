package com.corvane.ambrix.child;

import static com.corvane.ambrix.child.FakeParent.CLEAR_MEMORY;
import static com.corvane.ambrix.child.FakeParent.DO_FUNCTION;
import static com.corvane.ambrix.child.FakeParent.INIT;
import static com.corvane.ambrix.child.FakeParent.REGISTER_FUNCTION;
import static com.corvane.ambrix.child.FakeParent.SET_STRING_DATA;
import static com.corvane.ambrix.child.FakeParent.SHUTDOWN;
import static com.corvane.ambrix.child.FakeParent.bytes;
import static java.nio.charset.StandardCharsets.UTF_8;
import static java.util.concurrent.TimeUnit.SECONDS;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.corvane.ambrix.api.FunctionDeclaration;

import java.io.BufferedInputStream;
import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.CompletableFuture;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;
import org.junit.jupiter.api.io.TempDir;

/** The child as the bridge starts it: a Java process on real pipes. */
@Timeout(60)
class ChildProcessTest {
    private static final String STARTUP_TOKEN_ON_STDOUT = "00 07 49 4D 41 4C 49 56 45";
    private static final String JAVA = System.getProperty("ambrix.java", "java");
    private static final String CLASS_PATH =
            System.getProperty("ambrix.childJar") + ":" + System.getProperty("ambrix.testClasses");

    /** The child does little; a quick start keeps the tests fast on a busy machine. */
    private static final List<String> QUICK_START = List.of("-XX:TieredStopAtLevel=1", "-XX:+UseSerialGC");

    private static Process startChild(String... jvmOptions) throws IOException {
        List<String> command = new ArrayList<>(List.of(JAVA));
        command.addAll(QUICK_START);
        command.addAll(Arrays.asList(jvmOptions));
        command.addAll(List.of("-cp", CLASS_PATH, "com.corvane.ambrix.PipeChild"));
        return new ProcessBuilder(command).start();
    }

    private static CompletableFuture<byte[]> readAll(InputStream stream) {
        return CompletableFuture.supplyAsync(() -> {
            try {
                return stream.readAllBytes();
            } catch (IOException e) {
                throw new UncheckedIOException(e);
            }
        });
    }

    @Test
    void theProtocolHasStandardOutputToItselfAndLogStatementsAreFramedOnStandardError(@TempDir Path dir)
            throws Exception {
        Path config = dir.resolve("logging.properties");
        Files.writeString(config, String.join("\n",
                "handlers=java.util.logging.ConsoleHandler",
                ".level=INFO",
                "java.util.logging.ConsoleHandler.level=ALL",
                "java.util.logging.SimpleFormatter.format=%4$s %3$s: %5$s%n", ""));
        Process child = startChild("-Djava.util.logging.config.file=" + config);
        try {
            CompletableFuture<byte[]> standardError = readAll(child.getErrorStream());
            BufferedInputStream standardOutput = new BufferedInputStream(child.getInputStream());
            assertEquals(STARTUP_TOKEN_ON_STDOUT, FakeParent.hex(standardOutput.readNBytes(9)));
            FakeParent parent = new FakeParent(standardOutput, child.getOutputStream());

            parent.command(1, INIT, ChildHarness.initBody(56));
            parent.serve(1, REGISTER_FUNCTION, bytes().int16(1).text("P_Print").text("P_Print").int32(0).int32(0)
                    .int32(FunctionDeclaration.DEFAULT_FLAGS).int32(0).int8(0).text(""), bytes());
            parent.expectFinished(1, 0);
            parent.command(2, DO_FUNCTION, ChildSessionTest.callBody(1, 900));
            parent.serve(2, SET_STRING_DATA, bytes().int64(900).text("done"), bytes());
            parent.serve(2, CLEAR_MEMORY, bytes(), bytes());
            parent.expectFinished(2, 0);
            parent.command(3, SHUTDOWN, bytes().int8(0));
            parent.expectFinished(3, 0);
            // Nothing the plug-in printed reached the protocol.
            assertEquals(-1, standardOutput.read());
            assertTrue(child.waitFor(10, SECONDS));
            assertEquals(0, child.exitValue());

            String errors = new String(standardError.get(10, SECONDS), UTF_8);
            assertTrue(errors.startsWith("IMALIVE"), errors);
            String statements = errors.substring("IMALIVE".length());
            assertTrue(statements.endsWith("\n\u000B\u000C"), statements);
            List<String> records = List.of(statements.split("\u000B\u000C"));
            for (String record : records) {
                assertTrue(record.endsWith("\n"), record);
            }
            assertTrue(records.contains("INFO System.out: stray output\n"), statements);
            assertTrue(records.contains("WARNING System.err: stray error\n"), statements);
            assertTrue(records.contains("INFO test.plugin: logged {braces} \\v\\f inside\n"), statements);
        } finally {
            child.destroyForcibly();
        }
    }

    @Test
    void theChildEndsWhenItsInputEnds() throws Exception {
        Process child = startChild();
        try {
            readAll(child.getErrorStream());
            assertEquals(STARTUP_TOKEN_ON_STDOUT, FakeParent.hex(child.getInputStream().readNBytes(9)));
            child.getOutputStream().close();
            assertTrue(child.waitFor(10, SECONDS));
            assertEquals(ChildSession.EXIT_NORMAL, child.exitValue());
        } finally {
            child.destroyForcibly();
        }
    }

    /**
     * The shell passes its input (held open by this test) to the child, so the child never sees
     * the end of its input, then becomes a sleep that the test kills: the child is orphaned.
     */
    @Test
    void theChildEndsSoonAfterItsParentDies() throws Exception {
        String script = "exec 3<&0; \"$0\" $2 -cp \"$1\" com.corvane.ambrix.PipeChild <&3 3<&- 2>/dev/null &"
                + " echo $! >&2; exec sleep 60";
        Process parent = new ProcessBuilder("sh", "-c", script, JAVA, CLASS_PATH, String.join(" ", QUICK_START))
                .start();
        long childPid = -1;
        try {
            childPid = Long.parseLong(new BufferedReader(new InputStreamReader(parent.getErrorStream(), UTF_8))
                    .readLine().trim());
            ProcessHandle child = ProcessHandle.of(childPid).orElseThrow();
            // Once the token is out, the child has bound itself to its parent.
            assertEquals(STARTUP_TOKEN_ON_STDOUT, FakeParent.hex(parent.getInputStream().readNBytes(9)));
            parent.destroyForcibly().waitFor();
            child.onExit().get(10, SECONDS);
            assertFalse(child.isAlive());
        } finally {
            parent.destroyForcibly();
            parent.getOutputStream().close();
            ProcessHandle.of(childPid).ifPresent(ProcessHandle::destroyForcibly);
        }
    }
}
