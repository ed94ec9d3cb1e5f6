package com.corvane.ambrix.child;

import java.io.EOFException;
import java.io.IOException;
import java.io.InputStream;
import java.util.Arrays;

/**
 * Reads the parent's encoding: big-endian integers, texts as an int32 byte count followed by
 * UTF-16 units in little-endian order, raw byte runs and the separator byte 0xFF.
 *
 * <p>Lengths come from the other process, so none is trusted for an allocation: buffers grow
 * only as bytes actually arrive, and every length is checked against a limit first.
 */
final class WireInput {
    static final int SEPARATOR = 0xFF;
    /** Largest text accepted, in bytes. Host texts stay far below it. */
    static final int MAX_TEXT_BYTES = 256 * 1024 * 1024;
    private static final int FIRST_CHUNK = 64 * 1024;

    private final InputStream in;

    WireInput(InputStream in) {
        this.in = in;
    }

    /** One byte, or -1 at a clean end of the stream. */
    int readByteOrEnd() throws IOException {
        return in.read();
    }

    int readUnsignedByte() throws IOException {
        int b = in.read();
        if (b < 0) {
            throw new EOFException("The parent's stream ended inside a frame");
        }
        return b;
    }

    byte readByte() throws IOException {
        return (byte) readUnsignedByte();
    }

    short readInt16() throws IOException {
        return (short) ((readUnsignedByte() << 8) | readUnsignedByte());
    }

    int readInt32() throws IOException {
        int value = 0;
        for (int i = 0; i < 4; i++) {
            value = (value << 8) | readUnsignedByte();
        }
        return value;
    }

    long readInt64() throws IOException {
        long value = 0;
        for (int i = 0; i < 8; i++) {
            value = (value << 8) | readUnsignedByte();
        }
        return value;
    }

    /** A length-prefixed text of at most {@code maxBytes} bytes. */
    String readText(int maxBytes) throws IOException {
        int byteCount = readInt32();
        if (byteCount < 0 || byteCount > maxBytes) {
            throw new ProtocolException("Text length " + byteCount + " is outside 0.." + maxBytes);
        }
        if (byteCount % 2 != 0) {
            throw new ProtocolException("Text length " + byteCount + " is not a whole number of UTF-16 units");
        }
        return decodeUtf16le(readBytes(byteCount));
    }

    String readText() throws IOException {
        return readText(MAX_TEXT_BYTES);
    }

    /** Exactly {@code length} bytes. */
    byte[] readBytes(int length) throws IOException {
        if (length < 0) {
            throw new ProtocolException("Negative byte count " + length);
        }
        byte[] buffer = new byte[Math.min(length, FIRST_CHUNK)];
        int filled = 0;
        while (filled < length) {
            if (filled == buffer.length) {
                buffer = Arrays.copyOf(buffer, (int) Math.min(length, 2L * buffer.length));
            }
            int n = in.read(buffer, filled, buffer.length - filled);
            if (n < 0) {
                throw new EOFException("The parent's stream ended after " + filled + " of " + length + " bytes");
            }
            filled += n;
        }
        return buffer;
    }

    /** The byte that ends every frame; anything else means the two sides disagree about a layout. */
    void readSeparator() throws IOException {
        int b = readUnsignedByte();
        if (b != SEPARATOR) {
            throw new ProtocolException(String.format("Expected the separator byte 0xFF but read 0x%02X", b));
        }
    }

    // Unit by unit rather than through a charset, so that unpaired surrogates survive unchanged.
    static String decodeUtf16le(byte[] bytes) {
        char[] units = new char[bytes.length / 2];
        for (int i = 0; i < units.length; i++) {
            units[i] = (char) ((bytes[2 * i] & 0xFF) | ((bytes[2 * i + 1] & 0xFF) << 8));
        }
        return new String(units);
    }
}
