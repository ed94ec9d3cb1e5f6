package com.corvane.ambrix.child;

import java.util.SortedMap;
import java.util.TreeMap;

/** Readers of the answers that callbacks get in their {@code callback_result} frames. */
final class Answers {
    /** A manifest with more attributes than this is a stream out of step. */
    static final int MAX_ATTRIBUTES = 100_000;
    private static final int MAX_ATTRIBUTE_TEXT_BYTES = 16 * 1024 * 1024;

    static final Exchange.ReplyReader<Short> INT16 = WireInput::readInt16;
    static final Exchange.ReplyReader<Integer> INT32 = WireInput::readInt32;
    static final Exchange.ReplyReader<Long> INT64 = WireInput::readInt64;
    static final Exchange.ReplyReader<Boolean> BOOL = in -> in.readByte() != 0;
    static final Exchange.ReplyReader<String> TEXT = WireInput::readText;
    static final Exchange.ReplyReader<ErrorAndToken> ERROR_AND_TOKEN =
            in -> new ErrorAndToken(in.readInt16(), in.readInt64());
    static final Exchange.ReplyReader<SortedMap<String, String>> ATTRIBUTES = in -> {
        int count = in.readInt32();
        if (count < 0 || count > MAX_ATTRIBUTES) {
            throw new ProtocolException("Attribute count " + count + " is outside 0.." + MAX_ATTRIBUTES);
        }
        SortedMap<String, String> attributes = new TreeMap<>();
        for (int i = 0; i < count; i++) {
            String name = in.readText(MAX_ATTRIBUTE_TEXT_BYTES);
            attributes.put(name, in.readText(MAX_ATTRIBUTE_TEXT_BYTES));
        }
        return attributes;
    };

    private Answers() {
    }

    /** Raw bytes whose count the request fixed. */
    static Exchange.ReplyReader<byte[]> bytes(int count) {
        return in -> in.readBytes(count);
    }

    /** The answer of evaluation and SQL: the host's error number and the token of the result. */
    static final class ErrorAndToken {
        final short error;
        final long token;

        ErrorAndToken(short error, long token) {
            this.error = error;
            this.token = token;
        }
    }
}
