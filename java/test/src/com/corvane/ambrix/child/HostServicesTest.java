package com.corvane.ambrix.child;

import static com.corvane.ambrix.child.FakeParent.APPEND_FM_BINARY_WITH_CONTEXT;
import static com.corvane.ambrix.child.FakeParent.CLEAR_MEMORY;
import static com.corvane.ambrix.child.FakeParent.CLOSE_FM_BINARY_WITH_CONTEXT;
import static com.corvane.ambrix.child.FakeParent.CREATE_CHAR_STYLE;
import static com.corvane.ambrix.child.FakeParent.CREATE_EMPTY_FM_DATA;
import static com.corvane.ambrix.child.FakeParent.CREATE_FM_BINARY_FROM_BYTES;
import static com.corvane.ambrix.child.FakeParent.CREATE_FM_BINARY_WITH_CONTEXT;
import static com.corvane.ambrix.child.FakeParent.CREATE_FM_TEXT;
import static com.corvane.ambrix.child.FakeParent.DO_FUNCTION;
import static com.corvane.ambrix.child.FakeParent.EVALUATE_EXPRESSION;
import static com.corvane.ambrix.child.FakeParent.EXECUTE_SQL_11;
import static com.corvane.ambrix.child.FakeParent.EXECUTE_SQL_13;
import static com.corvane.ambrix.child.FakeParent.GET_DATA_VECT_DATA;
import static com.corvane.ambrix.child.FakeParent.GET_DATA_VECT_SIZE;
import static com.corvane.ambrix.child.FakeParent.GET_DATE_TIME_DATA_AS_SECONDS;
import static com.corvane.ambrix.child.FakeParent.GET_DOUBLE_DATA;
import static com.corvane.ambrix.child.FakeParent.GET_FM_DATA_AS_FM_BINARY;
import static com.corvane.ambrix.child.FakeParent.GET_FM_DATA_AS_STRING;
import static com.corvane.ambrix.child.FakeParent.GET_LONG_DATA;
import static com.corvane.ambrix.child.FakeParent.GET_MANIFEST_ATTRIBUTES;
import static com.corvane.ambrix.child.FakeParent.GET_ROW_VECT_DATA;
import static com.corvane.ambrix.child.FakeParent.GET_ROW_VECT_SIZE;
import static com.corvane.ambrix.child.FakeParent.GET_STREAM_COUNT;
import static com.corvane.ambrix.child.FakeParent.GET_STREAM_DATA;
import static com.corvane.ambrix.child.FakeParent.GET_STREAM_SIZE;
import static com.corvane.ambrix.child.FakeParent.GET_STREAM_TYPE;
import static com.corvane.ambrix.child.FakeParent.IS_EMPTY;
import static com.corvane.ambrix.child.FakeParent.ON_ERROR;
import static com.corvane.ambrix.child.FakeParent.SET_CHAR_STYLE;
import static com.corvane.ambrix.child.FakeParent.SET_COLOR;
import static com.corvane.ambrix.child.FakeParent.SET_DATE_TIME_DATA;
import static com.corvane.ambrix.child.FakeParent.SET_FACE;
import static com.corvane.ambrix.child.FakeParent.SET_STRING_DATA;
import static com.corvane.ambrix.child.FakeParent.TRIGGER_SCRIPT;
import static com.corvane.ambrix.child.FakeParent.WRITE_FM_BINARY_TO_FM_DATA;
import static com.corvane.ambrix.child.FakeParent.WRITE_FM_TEXT_TO_FM_DATA;
import static com.corvane.ambrix.child.FakeParent.bytes;
import static org.junit.jupiter.params.provider.Arguments.arguments;

import com.corvane.ambrix.api.CharStyle;
import com.corvane.ambrix.api.ContainerWriter;
import com.corvane.ambrix.api.PluginFunction;
import com.corvane.ambrix.api.ScriptControl;
import com.corvane.ambrix.api.StyledText;

import java.io.IOException;
import java.io.RandomAccessFile;
import java.io.UncheckedIOException;
import java.math.BigDecimal;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.time.LocalDateTime;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.Timeout;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Each case runs one plug-in function with parameter token 55 and result token 900 and plays the
 * host: every message the function sends must arrive byte for byte as listed, and gets the listed
 * answer.
 */
@Timeout(20)
class HostServicesTest {
    record Step(int code, FakeParent.Bytes payload, FakeParent.Bytes answer) {
    }

    static Step step(int code, FakeParent.Bytes payload, FakeParent.Bytes answer) {
        return new Step(code, payload, answer);
    }

    /** A callback whose answer is empty. */
    static Step ack(int code, FakeParent.Bytes payload) {
        return new Step(code, payload, bytes());
    }

    static Step result(String text) {
        return ack(SET_STRING_DATA, bytes().int64(900).text(text));
    }

    static Step onError(String message) {
        return ack(ON_ERROR, bytes().text(message).int32(0).int8(0));
    }

    static final Step CLEAR = ack(CLEAR_MEMORY, bytes());

    static Arguments call(String name, PluginFunction body, int finished, Step... steps) {
        return arguments(name, body, finished, List.of(steps));
    }

    static Stream<Arguments> numbersAndTimes() {
        return Stream.of(
                call("a whole number beyond 32 bits is read again from its text",
                        c -> c.result().setNumber(c.parameter(0).asLong()), 0,
                        step(GET_LONG_DATA, bytes().int64(55), bytes().int64(Integer.MAX_VALUE)),
                        step(GET_FM_DATA_AS_STRING, bytes().int64(55), bytes().text("9007199254740993.7")),
                        result("9007199254740993"), CLEAR),
                call("a small whole number needs one request",
                        c -> c.result().setNumber(c.parameter(0).asLong()), 0,
                        step(GET_LONG_DATA, bytes().int64(55), bytes().int64(-5)),
                        result("-5"), CLEAR),
                call("a double arrives as its bit pattern",
                        c -> c.result().setNumber(c.parameter(0).asDouble() * 2), 0,
                        step(GET_DOUBLE_DATA, bytes().int64(55), bytes().int64(0x3FF8000000000000L)),
                        result("3"), CLEAR),
                call("a decimal is read exactly from the text",
                        c -> c.result().setNumber(c.parameter(0).asBigDecimal().add(new BigDecimal("0.01"))), 0,
                        step(GET_FM_DATA_AS_STRING, bytes().int64(55), bytes().text(" 12.50 ")),
                        result("12.51"), CLEAR),
                call("a double result is written as its shortest decimal",
                        c -> c.result().setNumber(0.1 + 0.2), 0,
                        result("0.30000000000000004"), CLEAR),
                call("a large double result has no exponent",
                        c -> c.result().setNumber(1e20), 0,
                        result("100000000000000000000"), CLEAR),
                call("the host's day 1 starts at 86400 seconds",
                        c -> c.result().setText(String.valueOf(c.parameter(0).asTimestamp())), 0,
                        step(GET_DATE_TIME_DATA_AS_SECONDS, bytes().int64(55), bytes().int64(86_400 + 86_400 + 3661)),
                        result("0001-01-02T01:01:01"), CLEAR),
                call("a time of day has no date",
                        c -> c.result().setText(c.parameter(0).asTimestamp() + " " + c.parameter(0).asTime()), 0,
                        step(GET_DATE_TIME_DATA_AS_SECONDS, bytes().int64(55), bytes().int64(3661)),
                        step(GET_DATE_TIME_DATA_AS_SECONDS, bytes().int64(55), bytes().int64(3661)),
                        result("null 01:01:01"), CLEAR),
                call("an empty value has no time, though the host answers 0",
                        c -> c.result().setText(String.valueOf(c.parameter(0).asTime())), 0,
                        step(GET_DATE_TIME_DATA_AS_SECONDS, bytes().int64(55), bytes().int64(0)),
                        step(IS_EMPTY, bytes().int64(55), bytes().int8(1)),
                        result("null"), CLEAR),
                call("a timestamp result is written field by field",
                        c -> c.result().setTimestamp(LocalDateTime.of(2024, 2, 29, 13, 45, 10, 999)), 0,
                        ack(SET_DATE_TIME_DATA, bytes().int64(900).int32(2024).int32(2).int32(29)
                                .int32(13).int32(45).int32(10)),
                        CLEAR));
    }

    static Stream<Arguments> hostServices() {
        return Stream.of(
                call("evaluation", c -> c.result().setText(c.host().evaluate("1+1").asText()), 0,
                        step(EVALUATE_EXPRESSION, bytes().text("1+1"), bytes().int16(0).int64(600)),
                        step(GET_FM_DATA_AS_STRING, bytes().int64(600), bytes().text("2")),
                        result("2"), CLEAR),
                call("an evaluation error ends the call with the host's number",
                        c -> c.host().evaluate("1+"), 1203,
                        step(EVALUATE_EXPRESSION, bytes().text("1+"), bytes().int16(1203).int64(600)),
                        onError("com.corvane.ambrix.api.HostException: Evaluating \"1+\" failed with host error 1203"
                                + " (error 1203)"),
                        CLEAR),
                call("SQL rows are read cell by cell",
                        c -> c.result().setText(c.host().executeSql("SELECT a FROM t WHERE b = ?", "", "x")
                                .rows().get(0).get(0).asText()), 0,
                        step(EXECUTE_SQL_11, bytes().text("SELECT a FROM t WHERE b = ?").text("").int32(1).text("x"),
                                bytes().int16(0).int64(700)),
                        step(GET_ROW_VECT_SIZE, bytes().int64(700), bytes().int32(1)),
                        step(GET_ROW_VECT_DATA, bytes().int64(700).int32(0), bytes().int64(710)),
                        step(GET_DATA_VECT_SIZE, bytes().int64(710), bytes().int32(1)),
                        step(GET_DATA_VECT_DATA, bytes().int64(710).int32(0), bytes().int64(720)),
                        step(GET_FM_DATA_AS_STRING, bytes().int64(720), bytes().text("cell")),
                        result("cell"), CLEAR),
                call("a row beyond the result is refused before the host looks it up",
                        c -> c.host().executeSql("SELECT a FROM t", "").row(2), 1,
                        step(EXECUTE_SQL_11, bytes().text("SELECT a FROM t").text("").int32(0),
                                bytes().int16(0).int64(700)),
                        step(GET_ROW_VECT_SIZE, bytes().int64(700), bytes().int32(2)),
                        onError("java.lang.IndexOutOfBoundsException: Row 2 of 2"),
                        CLEAR),
                call("SQL as one text",
                        c -> c.result().setText(c.host().executeSqlText("SELECT a, b FROM t", "F", ',', ';')), 0,
                        step(EXECUTE_SQL_13, bytes().text("SELECT a, b FROM t").text("F").int16(',').int16(';')
                                .int32(0), bytes().int16(0).int64(730)),
                        step(GET_FM_DATA_AS_STRING, bytes().int64(730), bytes().text("1,2;3,4")),
                        result("1,2;3,4"), CLEAR),
                call("a script with a parameter",
                        c -> c.host().triggerScript("F", "S", ScriptControl.PAUSE, "p"), 0,
                        step(CREATE_EMPTY_FM_DATA, bytes(), bytes().int64(740)),
                        ack(SET_STRING_DATA, bytes().int64(740).text("p")),
                        step(TRIGGER_SCRIPT, bytes().text("F").text("S").int32(3).int64(740), bytes().int16(0)),
                        CLEAR),
                call("a missing script", c -> c.host().triggerScript("F", "Nope", ScriptControl.HALT), 104,
                        step(TRIGGER_SCRIPT, bytes().text("F").text("Nope").int32(0).int64(0), bytes().int16(104)),
                        onError("com.corvane.ambrix.api.HostException: Starting script \"Nope\" of \"F\" failed"
                                + " with host error 104 (error 104)")),
                call("manifest attributes are asked for once",
                        c -> c.result().setText(c.host().manifestAttributes().get("plugin-name")
                                + c.host().manifestAttributes().size()), 0,
                        step(GET_MANIFEST_ATTRIBUTES, bytes().text("/plugins/test.fmx"), bytes().int32(2)
                                .text("plugin-name").text("Test").text("plugin-options").text("TEST1nnnnnn")),
                        result("Test2"), CLEAR));
    }

    static Stream<Arguments> stylesAndContainers() {
        return Stream.of(
                call("styled text", c -> {
                    StyledText text = c.host().newText("ab");
                    CharStyle style = c.host().newStyle();
                    style.setFace(CharStyle.BOLD | CharStyle.ITALIC);
                    style.setColor(200, 0, 0);
                    text.setStyle(style, 1, 1);
                    c.result().setStyledText(text);
                }, 0,
                        step(CREATE_FM_TEXT, bytes().text("ab"), bytes().int64(800)),
                        step(CREATE_CHAR_STYLE, bytes(), bytes().int64(810)),
                        ack(SET_FACE, bytes().int64(810).int32(3)),
                        ack(SET_COLOR, bytes().int64(810).int32(200).int32(0).int32(0).int32(255)),
                        ack(SET_CHAR_STYLE, bytes().int64(800).int64(810).int64(1).int64(1)),
                        ack(WRITE_FM_TEXT_TO_FM_DATA, bytes().int64(800).int64(900)),
                        CLEAR),
                call("a color channel beyond 8 bits is refused, not cut",
                        c -> c.host().newStyle().setColor(300, 0, 0), 1,
                        step(CREATE_CHAR_STYLE, bytes(), bytes().int64(810)),
                        onError("java.lang.IllegalArgumentException: red must lie in 0..255, not 300"),
                        CLEAR),
                call("a container is read stream by stream", c -> {
                    var container = c.parameter(0).asContainer();
                    String type = container.streamCount() == 1 ? container.streamType(0) : "?";
                    c.result().setText(type + new String(container.readStream(0), StandardCharsets.UTF_8));
                }, 0,
                        step(GET_FM_DATA_AS_FM_BINARY, bytes().int64(55), bytes().int64(820)),
                        step(GET_STREAM_COUNT, bytes().int64(820), bytes().int32(1)),
                        step(GET_STREAM_TYPE, bytes().int64(820).int32(0), bytes().text("FILE")),
                        step(GET_STREAM_SIZE, bytes().int64(820).int32(0), bytes().int32(3)),
                        step(GET_STREAM_DATA, bytes().int64(820).int32(0).int32(0).int32(3), bytes().raw(utf8("xyz"))),
                        result("FILExyz"), CLEAR),
                call("a container from bytes",
                        c -> c.result().setContainer(c.host().containerFromBytes("a.txt", utf8("hi"))), 0,
                        step(CREATE_FM_BINARY_FROM_BYTES, bytes().text("a.txt").int32(2).raw(utf8("hi")),
                                bytes().int64(830)),
                        ack(WRITE_FM_BINARY_TO_FM_DATA, bytes().int64(900).int64(830)),
                        CLEAR),
                call("a container written in pieces", c -> {
                    ContainerWriter writer = c.host().beginContainer("FILE", "big.bin");
                    writer.append(utf8("ab"));
                    writer.append(utf8("xcdx"), 1, 2);
                    c.result().setContainer(writer.finish());
                }, 0,
                        step(CREATE_FM_BINARY_WITH_CONTEXT, bytes().text("FILE").text("big.bin"), bytes().int64(840)),
                        ack(APPEND_FM_BINARY_WITH_CONTEXT, bytes().int64(840).int32(2).raw(utf8("ab"))),
                        ack(APPEND_FM_BINARY_WITH_CONTEXT, bytes().int64(840).int32(2).raw(utf8("cd"))),
                        ack(CLOSE_FM_BINARY_WITH_CONTEXT, bytes().int64(840)),
                        ack(WRITE_FM_BINARY_TO_FM_DATA, bytes().int64(900).int64(840)),
                        CLEAR),
                // The host appends to the newest context of a thread: a second open container would take the data.
                call("a second container in pieces waits for the first", c -> {
                    c.host().beginContainer("FILE", "one.bin");
                    c.host().beginContainer("FILE", "two.bin");
                }, 1,
                        step(CREATE_FM_BINARY_WITH_CONTEXT, bytes().text("FILE").text("one.bin"), bytes().int64(840)),
                        onError("java.lang.IllegalStateException: Another container is still being built in this call;"
                                + " finish it first"),
                        CLEAR));
    }

    /** Values the host cannot take are refused before anything is sent. */
    static Stream<Arguments> refusedBeforeTheHost() {
        Path large = sparseFile(0x1_0000_0000L);
        return Stream.of(
                call("a year before the host's calendar",
                        c -> c.result().setTimestamp(LocalDateTime.of(0, 12, 31, 0, 0)), 1,
                        onError("java.lang.IllegalArgumentException: year must lie in 1..32767, not 0")),
                call("a number the host cannot hold", c -> c.result().setNumber(Double.NaN), 1,
                        onError("java.lang.IllegalArgumentException: The host cannot hold the number NaN")),
                call("a stream type of five characters", c -> c.host().beginContainer("FILES", "x"), 1,
                        onError("java.lang.IllegalArgumentException: A stream type is four printable ASCII"
                                + " characters, not \"FILES\"")),
                call("a file the host could not open",
                        c -> c.host().containerFromFile(Paths.get("/nonexistent/file.bin"), "file.bin"), 1,
                        onError("java.io.IOException: Not a readable file: /nonexistent/file.bin")),
                call("a file beyond the host's 32-bit container sizes",
                        c -> c.host().containerFromFile(large, "large.bin"), 1,
                        onError("java.io.IOException: The host cannot hold a file of 4294967296 bytes in a"
                                + " container: " + large)));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource({"numbersAndTimes", "hostServices", "stylesAndContainers", "refusedBeforeTheHost"})
    void scriptedCall(String name, PluginFunction body, int finished, List<Step> steps) throws Exception {
        try (ChildHarness child = new ChildHarness(registrar -> registrar.function(1, "T_Scripted", body))) {
            child.initOk();
            child.parent.command(5, DO_FUNCTION, ChildSessionTest.callBody(1, 900, 55));
            for (Step step : steps) {
                child.parent.serve(5, step.code(), step.payload(), step.answer());
            }
            child.parent.expectFinished(5, finished);
        }
    }

    private static byte[] utf8(String text) {
        return text.getBytes(StandardCharsets.UTF_8);
    }

    private static Path sparseFile(long size) {
        try {
            Path file = Files.createTempFile("ambrix-large", ".bin");
            file.toFile().deleteOnExit();
            try (RandomAccessFile handle = new RandomAccessFile(file.toFile(), "rw")) {
                handle.setLength(size);
            }
            return file;
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }
}
