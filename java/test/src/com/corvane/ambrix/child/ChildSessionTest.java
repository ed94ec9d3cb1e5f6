package com.corvane.ambrix.child;

import static com.corvane.ambrix.child.FakeParent.CLEAR_MEMORY;
import static com.corvane.ambrix.child.FakeParent.DO_FUNCTION;
import static com.corvane.ambrix.child.FakeParent.DO_IDLE;
import static com.corvane.ambrix.child.FakeParent.FILE_SHUTDOWN;
import static com.corvane.ambrix.child.FakeParent.GET_FM_DATA_AS_STRING;
import static com.corvane.ambrix.child.FakeParent.INIT;
import static com.corvane.ambrix.child.FakeParent.IS_EMPTY;
import static com.corvane.ambrix.child.FakeParent.ON_ERROR;
import static com.corvane.ambrix.child.FakeParent.REGISTER_FUNCTION;
import static com.corvane.ambrix.child.FakeParent.REGISTER_SCRIPT_STEP;
import static com.corvane.ambrix.child.FakeParent.SESSION_ENDED;
import static com.corvane.ambrix.child.FakeParent.SET_STRING_DATA;
import static com.corvane.ambrix.child.FakeParent.SHUTDOWN;
import static com.corvane.ambrix.child.FakeParent.bytes;
import static com.corvane.ambrix.child.FakeParent.frame;
import static java.util.concurrent.TimeUnit.SECONDS;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.params.provider.Arguments.arguments;

import com.corvane.ambrix.api.CallEndedException;
import com.corvane.ambrix.api.HostException;
import com.corvane.ambrix.api.IdleEvent;
import com.corvane.ambrix.api.Plugin;
import com.corvane.ambrix.api.Registrar;
import com.corvane.ambrix.api.Value;

import java.util.Collections;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.ServiceConfigurationError;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicReference;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

@Timeout(20)
class ChildSessionTest {
    /** The body of a do_function command: id, parameter tokens, result token, unsafe flag, GUI flag. */
    static FakeParent.Bytes callBody(int functionId, long resultToken, long... parameterTokens) {
        FakeParent.Bytes body = bytes().int16(functionId).int32(parameterTokens.length);
        for (long token : parameterTokens) {
            body.int64(token);
        }
        return body.int64(resultToken).int8(1).int8(0);
    }

    @ParameterizedTest(name = "host API version {0}")
    @ValueSource(ints = {55, 56})
    void initRegistersEveryFunctionAndScriptStepInTheLayoutOfTheHostsVersion(int apiVersion) throws Exception {
        Plugin plugin = registrar -> {
            registrar.function(7, "T_Echo", call -> { })
                    .arguments(1, 2).prototype("T_Echo ( a { ; b } )").description("Echoes")
                    .flags(0x1234).timeoutSeconds(9).gui(true);
            registrar.scriptStep(8, "T Step", call -> { }).definition("<x/>").description("A step").flags(3);
        };
        try (ChildHarness child = new ChildHarness(plugin)) {
            FakeParent parent = child.parent;
            parent.command(1, INIT, ChildHarness.initBody(apiVersion));
            FakeParent.Bytes function = bytes().int16(7).text("T_Echo").text("T_Echo ( a { ; b } )")
                    .int32(1).int32(2).int32(0x1234).int32(9).int8(1);
            if (apiVersion >= 56) {
                function.text("Echoes");
            }
            parent.serve(1, REGISTER_FUNCTION, function, bytes());
            // Script steps carry their description whatever the version.
            parent.serve(1, REGISTER_SCRIPT_STEP,
                    bytes().int16(8).text("T Step").text("<x/>").int32(3).int32(0).int8(0).text("A step"), bytes());
            parent.expectFinished(1, 0);
        }
    }

    static Stream<Arguments> failedStarts() {
        Plugin throwing = registrar -> {
            throw new IllegalStateException("broken plug-in");
        };
        Plugin collidingIds = registrar -> {
            registrar.function(1, "T_A", call -> { });
            registrar.scriptStep(1, "T B", call -> { });
        };
        return Stream.of(
                arguments("no plug-in in the archive", (ChildSession.PluginSource) List::of, -1),
                arguments("the service file names a missing class", (ChildSession.PluginSource) () -> {
                    throw new ServiceConfigurationError("Provider com.example.Missing not found");
                }, -2),
                arguments("the plug-in throws while declaring", source(throwing), -2),
                arguments("a function and a script step share an id", source(collidingIds), -2));
    }

    private static ChildSession.PluginSource source(Plugin plugin) {
        return () -> List.of(plugin);
    }

    /** A failed start registers nothing: the first message is the answer. */
    @ParameterizedTest(name = "{0}")
    @MethodSource
    void failedStarts(String name, ChildSession.PluginSource plugins, int result) throws Exception {
        try (ChildHarness child = new ChildHarness(plugins)) {
            child.parent.command(1, INIT, ChildHarness.initBody(56));
            child.parent.expectFinished(1, result);
        }
    }

    @Test
    void aCallReadsItsParametersWritesItsResultReleasesHostObjectsAndFinishes() throws Exception {
        AtomicBoolean unsafeCalls = new AtomicBoolean();
        AtomicReference<long[]> ids = new AtomicReference<>();
        Plugin plugin = registrar -> registrar.function(3, "T_Concat", call -> {
            unsafeCalls.set(call.unsafeCallsAllowed());
            ids.set(new long[] {call.sessionId(), call.fileId()});
            call.result().setText(call.parameter(0).asText() + call.parameter(1).asText());
        }).arguments(2, 2);
        try (ChildHarness child = new ChildHarness(plugin)) {
            child.initOk();
            FakeParent parent = child.parent;
            parent.command(21, 5, 6, DO_FUNCTION, callBody(3, 900, 101, 102));
            parent.serve(21, GET_FM_DATA_AS_STRING, bytes().int64(101), bytes().text("ab"));
            parent.serve(21, GET_FM_DATA_AS_STRING, bytes().int64(102), bytes().text("c\u00e9\ud83d\ude00"));
            parent.serve(21, SET_STRING_DATA, bytes().int64(900).text("abc\u00e9\ud83d\ude00"), bytes());
            parent.serve(21, CLEAR_MEMORY, bytes(), bytes());
            parent.expectFinished(21, 0);
            assertTrue(unsafeCalls.get());
            assertEquals("[5, 6]", Arrays.toString(ids.get()));
        }
    }

    @Test
    void aCallThatCreatesNoHostObjectsSendsNoClearMemory() throws Exception {
        Plugin plugin = registrar -> registrar.scriptStep(4, "T Check", call -> call.parameter(0).isEmpty());
        try (ChildHarness child = new ChildHarness(plugin)) {
            child.initOk();
            child.parent.command(8, DO_FUNCTION, callBody(4, 900, 55));
            child.parent.serve(8, IS_EMPTY, bytes().int64(55), bytes().int8(1));
            child.parent.expectFinished(8, 0);
        }
    }

    /** Thread 5 waits for an answer while thread 9 runs a whole call; each answer finds its call. */
    @Test
    void callsOnDifferentThreadsInterleave() throws Exception {
        Plugin plugin = registrar -> registrar.function(1, "T_Upper", call ->
                call.result().setText(call.parameter(0).asText().toUpperCase()));
        try (ChildHarness child = new ChildHarness(plugin)) {
            child.initOk();
            FakeParent parent = child.parent;
            parent.command(5, DO_FUNCTION, callBody(1, 500, 55));
            parent.expect(5, GET_FM_DATA_AS_STRING, bytes().int64(55));
            parent.command(9, DO_FUNCTION, callBody(1, 900, 99));
            parent.serve(9, GET_FM_DATA_AS_STRING, bytes().int64(99), bytes().text("nine"));
            parent.serve(9, SET_STRING_DATA, bytes().int64(900).text("NINE"), bytes());
            parent.serve(9, CLEAR_MEMORY, bytes(), bytes());
            parent.expectFinished(9, 0);
            parent.answer(5, bytes().text("five"));
            parent.serve(5, SET_STRING_DATA, bytes().int64(500).text("FIVE"), bytes());
            parent.serve(5, CLEAR_MEMORY, bytes(), bytes());
            parent.expectFinished(5, 0);
        }
    }

    static Stream<Arguments> failures() {
        return Stream.of(
                arguments(new IllegalStateException("boom"), "java.lang.IllegalStateException: boom", 1),
                arguments(new HostException(7, "no such file"),
                        "com.corvane.ambrix.api.HostException: no such file (error 7)", 7),
                arguments(new HostException(-3, "negative"),
                        "com.corvane.ambrix.api.HostException: negative (error -3)", -3),
                // The host keeps 16 bits of the result: these would read as success.
                arguments(new HostException(0, "zero"), "com.corvane.ambrix.api.HostException: zero (error 0)", 1),
                arguments(new HostException(0x20000, "wraps"),
                        "com.corvane.ambrix.api.HostException: wraps (error 131072)", 1));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("failures")
    void failuresOfPluginCodeAreReportedAndAnsweredWithAnErrorNumber(Exception failure, String message, int result)
            throws Exception {
        Plugin plugin = registrar -> registrar.function(1, "T_Fail", call -> {
            throw failure;
        });
        try (ChildHarness child = new ChildHarness(plugin)) {
            child.initOk();
            child.parent.command(4, DO_FUNCTION, callBody(1, 900));
            child.parent.serve(4, ON_ERROR, bytes().text(message).int32(0).int8(0), bytes());
            child.parent.expectFinished(4, result);
        }
    }

    @Test
    void aCallOfAnUnknownIdIsAnError() throws Exception {
        try (ChildHarness child = new ChildHarness(registrar -> registrar.function(1, "T_Known", call -> { }))) {
            child.initOk();
            child.parent.command(4, DO_FUNCTION, callBody(42, 900));
            child.parent.serve(4, ON_ERROR,
                    bytes().text("No plug-in function or script step has the id 42").int32(0).int8(0), bytes());
            child.parent.expectFinished(4, 1);
        }
    }

    @Test
    void aNewCommandOnTheSameThreadAbandonsTheCallThatWaitsThere() throws Exception {
        CompletableFuture<Throwable> waiting = new CompletableFuture<>();
        CompletableFuture<Throwable> laterUse = new CompletableFuture<>();
        Plugin plugin = registrar -> {
            registrar.function(1, "T_Slow", call -> {
                try {
                    call.parameter(0).asText();
                } catch (CallEndedException e) {
                    waiting.complete(e);
                }
                try {
                    call.result().setText("late");
                } catch (CallEndedException e) {
                    laterUse.complete(e);
                }
            });
            registrar.function(2, "T_Quick", call -> { });
        };
        try (ChildHarness child = new ChildHarness(plugin)) {
            child.initOk();
            FakeParent parent = child.parent;
            parent.command(5, DO_FUNCTION, callBody(1, 500, 55));
            parent.expect(5, GET_FM_DATA_AS_STRING, bytes().int64(55));
            // No answer: the host gave up on that call and sends the thread's next one.
            parent.command(5, DO_FUNCTION, callBody(2, 501));
            parent.expectFinished(5, 0);
            assertInstanceOf(CallEndedException.class, waiting.get(5, SECONDS));
            assertInstanceOf(CallEndedException.class, laterUse.get(5, SECONDS));
            // The abandoned call sends nothing, not even its finish: the next message answers shutdown.
            parent.command(6, SHUTDOWN, bytes().int8(0));
            parent.expectFinished(6, 0);
        }
    }

    @Test
    void handlesOfAnEndedCallAreRefusedWithoutSendingTheirTokens() throws Exception {
        AtomicReference<Value> kept = new AtomicReference<>();
        Plugin plugin = registrar -> {
            registrar.function(1, "T_Keep", call -> kept.set(call.parameter(0)));
            registrar.function(2, "T_Use", call -> call.result().setText(kept.get().asText()));
        };
        try (ChildHarness child = new ChildHarness(plugin)) {
            child.initOk();
            child.parent.command(5, DO_FUNCTION, callBody(1, 500, 55));
            child.parent.expectFinished(5, 0);
            child.parent.command(5, DO_FUNCTION, callBody(2, 501));
            child.parent.serve(5, ON_ERROR, bytes()
                    .text("com.corvane.ambrix.api.CallEndedException: This call has ended (error -1)")
                    .int32(0).int8(0), bytes());
            child.parent.expectFinished(5, -1);
        }
    }

    @Test
    void idleSessionEndAndFileCloseReachTheHooks() throws Exception {
        CompletableFuture<String> idle = new CompletableFuture<>();
        CompletableFuture<Long> sessionEnded = new CompletableFuture<>();
        CompletableFuture<String> fileClosed = new CompletableFuture<>();
        Plugin plugin = new Plugin() {
            @Override
            public void register(Registrar registrar) {
            }

            @Override
            public void idle(IdleEvent event) {
                idle.complete(event.level() + " " + event.unsafeCallsAllowed());
            }

            @Override
            public void sessionEnded(long sessionId) {
                sessionEnded.complete(sessionId);
            }

            @Override
            public void fileClosed(long sessionId, long fileId) {
                fileClosed.complete(sessionId + "/" + fileId);
            }
        };
        try (ChildHarness child = new ChildHarness(plugin)) {
            child.initOk();
            FakeParent parent = child.parent;
            parent.command(2, DO_IDLE, bytes().int8(IdleEvent.SCRIPT_RUNNING).int8(1));
            parent.expectFinished(2, 0);
            assertEquals("3 true", idle.get(5, SECONDS));
            parent.command(4, 77, 0, SESSION_ENDED, bytes());
            parent.command(4, 77, 88, FILE_SHUTDOWN, bytes());
            assertEquals(77L, sessionEnded.get(5, SECONDS));
            assertEquals("77/88", fileClosed.get(5, SECONDS));
            // Neither event is answered: the next message answers the next command.
            parent.command(6, SHUTDOWN, bytes().int8(0));
            parent.expectFinished(6, 0);
        }
    }

    @Test
    void shutdownRunsTheHookThenAnswersThenExits() throws Exception {
        CompletableFuture<Void> hook = new CompletableFuture<>();
        Plugin plugin = new Plugin() {
            @Override
            public void register(Registrar registrar) {
            }

            @Override
            public void shutdown() {
                hook.complete(null);
            }
        };
        try (ChildHarness child = new ChildHarness(plugin)) {
            child.initOk();
            child.parent.command(3, SHUTDOWN, bytes().int8(1));
            child.parent.expectFinished(3, 0);
            assertTrue(hook.isDone());
            assertEquals(ChildSession.EXIT_NORMAL, child.exitStatus());
        }
    }

    @Test
    void fileCloseHookStillRunningFinishesBeforeTheShutdownHook() throws Exception {
        List<String> events = Collections.synchronizedList(new ArrayList<>());
        Plugin plugin = new Plugin() {
            @Override
            public void register(Registrar registrar) {
            }

            @Override
            public void fileClosed(long sessionId, long fileId) {
                try {
                    Thread.sleep(100);
                } catch (InterruptedException e) {
                    Thread.currentThread().interrupt();
                }
                events.add("file closed");
            }

            @Override
            public void shutdown() {
                events.add("shutdown");
            }
        };
        try (ChildHarness child = new ChildHarness(plugin)) {
            child.initOk();
            child.parent.command(4, 77, 88, FILE_SHUTDOWN, bytes());
            child.parent.command(6, SHUTDOWN, bytes().int8(0));
            child.parent.expectFinished(6, 0);
            assertEquals(Arrays.asList("file closed", "shutdown"), events);
        }
    }

    static Stream<Arguments> inputs() {
        byte[] call = frame(5, DO_FUNCTION, callBody(1, 900));
        byte[] wrongSeparator = Arrays.copyOf(call, call.length);
        wrongSeparator[wrongSeparator.length - 1] = 0x00;
        byte[] hugeQuadChar = bytes().int64(5).int64(0).int64(0).int16(DO_FUNCTION).int32(0x7FFFFFF0).toByteArray();
        return Stream.of(
                arguments("input ends between frames", new byte[0], ChildSession.EXIT_NORMAL),
                arguments("input ends inside a frame", Arrays.copyOf(call, 20), ChildSession.EXIT_BROKEN_STREAM),
                arguments("a command without its separator", wrongSeparator, ChildSession.EXIT_BROKEN_STREAM),
                arguments("an answer for a thread that waits for none",
                        frame(9, FakeParent.CALLBACK_RESULT, bytes()), ChildSession.EXIT_BROKEN_STREAM),
                arguments("an unknown command code", frame(5, 99, bytes()), ChildSession.EXIT_BROKEN_STREAM),
                arguments("an absurd text length", hugeQuadChar, ChildSession.EXIT_BROKEN_STREAM),
                arguments("a negative parameter count",
                        frame(5, DO_FUNCTION, bytes().int16(1).int32(-1)), ChildSession.EXIT_BROKEN_STREAM));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource
    void inputs(String name, byte[] input, int status) throws Exception {
        try (ChildHarness child = new ChildHarness(registrar -> registrar.function(1, "T_Any", call -> { }))) {
            child.parent.raw(input);
            child.closeInput();
            assertEquals(status, child.exitStatus());
        }
    }
}
