package com.corvane.ambrix.child;

import java.io.ByteArrayOutputStream;

/**
 * The fields of one message, encoded as the parent reads them. A message is built completely
 * before any byte of it is written, so an invalid argument can never leave half a frame on the
 * pipe.
 */
final class Payload {
    private final ByteArrayOutputStream bytes = new ByteArrayOutputStream(64);

    static Payload empty() {
        return new Payload();
    }

    Payload int8(int value) {
        bytes.write(value);
        return this;
    }

    Payload bool(boolean value) {
        return int8(value ? 1 : 0);
    }

    Payload int16(int value) {
        bytes.write(value >>> 8);
        bytes.write(value);
        return this;
    }

    Payload int32(int value) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes.write(value >>> shift);
        }
        return this;
    }

    Payload int64(long value) {
        for (int shift = 56; shift >= 0; shift -= 8) {
            bytes.write((int) (value >>> shift));
        }
        return this;
    }

    /** A text field: the int32 byte count, then the UTF-16 units low byte first. */
    Payload text(String text) {
        if (text == null) {
            throw new NullPointerException("text");
        }
        int length = text.length();
        if (length > WireInput.MAX_TEXT_BYTES / 2) {
            throw new IllegalArgumentException("Text of " + length + " characters is too long for the host");
        }
        int32(2 * length);
        for (int i = 0; i < length; i++) {
            char unit = text.charAt(i);
            bytes.write(unit);
            bytes.write(unit >>> 8);
        }
        return this;
    }

    /** Bytes without a length field; the message announces the count in a field of its own. */
    Payload raw(byte[] data, int offset, int length) {
        bytes.write(data, offset, length);
        return this;
    }

    int size() {
        return bytes.size();
    }

    byte[] toByteArray() {
        return bytes.toByteArray();
    }
}
