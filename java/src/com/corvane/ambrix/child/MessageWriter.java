package com.corvane.ambrix.child;

import java.io.IOException;
import java.io.OutputStream;

/**
 * Writes messages to the parent: thread id, separator, code, payload, separator. Several
 * exchanges write at once, so each message goes out whole under one lock and with one flush:
 * the parent reads whole messages and must never see two interleaved.
 */
final class MessageWriter {
    private final OutputStream out;
    private final Object lock = new Object();

    MessageWriter(OutputStream out) {
        this.out = out;
    }

    void send(long threadId, CodeToParent code, Payload payload) throws IOException {
        byte[] body = payload.toByteArray();
        byte[] head = new byte[11];
        for (int i = 0; i < 8; i++) {
            head[i] = (byte) (threadId >>> (56 - 8 * i));
        }
        head[8] = (byte) WireInput.SEPARATOR;
        head[9] = (byte) (code.value >>> 8);
        head[10] = (byte) code.value;
        synchronized (lock) {
            out.write(head);
            out.write(body);
            out.write(WireInput.SEPARATOR);
            out.flush();
        }
    }
}
