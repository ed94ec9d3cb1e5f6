package com.corvane.ambrix.child;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.UncheckedIOException;

/**
 * The bridge's side of the pipes, written from the wire layout alone: its own encoder and
 * decoder and its own numbers for the codes, so that a wrong value in the child shows up.
 */
final class FakeParent {
    // Commands to the child.
    static final int INIT = 0;
    static final int DO_FUNCTION = 1;
    static final int DO_IDLE = 3;
    static final int CALLBACK_RESULT = 4;
    static final int SESSION_ENDED = 6;
    static final int SHUTDOWN = 7;
    static final int FILE_SHUTDOWN = 8;

    // Messages from the child.
    static final int FINISHED = 0;
    static final int CLEAR_MEMORY = 1;
    static final int REGISTER_FUNCTION = 3;
    static final int REGISTER_SCRIPT_STEP = 5;
    static final int TRIGGER_SCRIPT = 9;
    static final int EVALUATE_EXPRESSION = 10;
    static final int EXECUTE_SQL_11 = 11;
    static final int GET_FM_DATA_AS_FM_TEXT = 12;
    static final int CREATE_FM_TEXT = 13;
    static final int SET_STRING_DATA = 14;
    static final int GET_FM_DATA_AS_STRING = 15;
    static final int WRITE_FM_TEXT_TO_FM_DATA = 16;
    static final int CREATE_EMPTY_FM_DATA = 17;
    static final int IS_EMPTY = 18;
    static final int GET_LONG_DATA = 20;
    static final int GET_DOUBLE_DATA = 21;
    static final int GET_FM_DATA_AS_FM_BINARY = 22;
    static final int GET_STREAM_COUNT = 24;
    static final int GET_STREAM_TYPE = 25;
    static final int GET_STREAM_DATA = 26;
    static final int GET_STREAM_SIZE = 29;
    static final int GET_DATE_TIME_DATA_AS_SECONDS = 35;
    static final int WRITE_FM_BINARY_TO_FM_DATA = 34;
    static final int SET_DATE_TIME_DATA = 36;
    static final int CREATE_CHAR_STYLE = 37;
    static final int SET_FACE = 38;
    static final int SET_COLOR = 41;
    static final int SET_CHAR_STYLE = 48;
    static final int GET_ROW_VECT_SIZE = 51;
    static final int GET_ROW_VECT_DATA = 52;
    static final int GET_DATA_VECT_SIZE = 54;
    static final int GET_DATA_VECT_DATA = 55;
    static final int EXECUTE_SQL_13 = 56;
    static final int READ_BYTES_FROM_FM_TEXT = 57;
    static final int GET_STREAM_FNAM = 58;
    static final int CREATE_FM_BINARY_FROM_BYTES = 60;
    static final int CREATE_FM_BINARY_WITH_CONTEXT = 61;
    static final int APPEND_FM_BINARY_WITH_CONTEXT = 62;
    static final int CLOSE_FM_BINARY_WITH_CONTEXT = 63;
    static final int ON_ERROR = 69;
    static final int GET_MANIFEST_ATTRIBUTES = 73;

    static final String QUAD_CHAR = "Abcd";

    private final DataInputStream in;
    private final DataOutputStream out;

    FakeParent(InputStream fromChild, OutputStream toChild) {
        this.in = new DataInputStream(fromChild);
        this.out = new DataOutputStream(toChild);
    }

    static Bytes bytes() {
        return new Bytes();
    }

    /** A parent frame: thread, session and file ids, code, quad char, body, then the given last byte. */
    static byte[] frame(long thread, long session, long file, int code, Bytes body, int separator) {
        return bytes().int64(thread).int64(session).int64(file).int16(code).text(QUAD_CHAR)
                .raw(body.toByteArray()).int8(separator).toByteArray();
    }

    static byte[] frame(long thread, int code, Bytes body) {
        return frame(thread, 0, 0, code, body, 0xFF);
    }

    void command(long thread, long session, long file, int code, Bytes body) {
        raw(frame(thread, session, file, code, body, 0xFF));
    }

    void command(long thread, int code, Bytes body) {
        command(thread, 0, 0, code, body);
    }

    void answer(long thread, Bytes body) {
        command(thread, CALLBACK_RESULT, body);
    }

    void raw(byte[] data) {
        try {
            out.write(data);
            out.flush();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** Reads one message of the child and compares it byte for byte. */
    void expect(long thread, int code, Bytes payload) {
        try {
            assertEquals(thread, in.readLong(), "thread id");
            assertEquals(0xFF, in.readUnsignedByte(), "separator after the thread id");
            assertEquals(code, in.readShort(), "message code");
            byte[] expected = payload.toByteArray();
            byte[] actual = new byte[expected.length];
            in.readFully(actual);
            assertEquals(hex(expected), hex(actual), "payload of message " + code);
            assertEquals(0xFF, in.readUnsignedByte(), "separator after the payload of message " + code);
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** Expects a callback and answers it. */
    void serve(long thread, int code, Bytes payload, Bytes answer) {
        expect(thread, code, payload);
        answer(thread, answer);
    }

    void expectFinished(long thread, int result) {
        expect(thread, FINISHED, bytes().int32(result));
    }

    /** The thread id and code of the next message; its payload is left for the caller. */
    int header(long expectedThread) {
        try {
            assertEquals(expectedThread, in.readLong(), "thread id");
            assertEquals(0xFF, in.readUnsignedByte(), "separator after the thread id");
            return in.readShort();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    DataInputStream in() {
        return in;
    }

    String readText() throws IOException {
        int count = in.readInt();
        char[] units = new char[count / 2];
        for (int i = 0; i < units.length; i++) {
            int low = in.readUnsignedByte();
            units[i] = (char) (low | (in.readUnsignedByte() << 8));
        }
        return new String(units);
    }

    void expectSeparator() throws IOException {
        assertEquals(0xFF, in.readUnsignedByte(), "separator");
    }

    static String hex(byte[] data) {
        StringBuilder text = new StringBuilder();
        for (byte b : data) {
            text.append(String.format("%02X ", b & 0xFF));
        }
        return text.toString().trim();
    }

    /** Fields in the wire encoding: big-endian integers, texts as a byte count and UTF-16LE units. */
    static final class Bytes {
        private final ByteArrayOutputStream data = new ByteArrayOutputStream();
        private final DataOutputStream fields = new DataOutputStream(data);

        Bytes int8(int value) {
            return write(() -> fields.writeByte(value));
        }

        Bytes int16(int value) {
            return write(() -> fields.writeShort(value));
        }

        Bytes int32(int value) {
            return write(() -> fields.writeInt(value));
        }

        Bytes int64(long value) {
            return write(() -> fields.writeLong(value));
        }

        Bytes text(String text) {
            return write(() -> {
                fields.writeInt(2 * text.length());
                for (char unit : text.toCharArray()) {
                    fields.writeByte(unit & 0xFF);
                    fields.writeByte(unit >>> 8);
                }
            });
        }

        Bytes raw(byte[] bytes) {
            return write(() -> fields.write(bytes));
        }

        byte[] toByteArray() {
            return data.toByteArray();
        }

        private interface Field {
            void write() throws IOException;
        }

        private Bytes write(Field field) {
            try {
                field.write();
            } catch (IOException e) {
                throw new UncheckedIOException(e);
            }
            return this;
        }
    }
}
