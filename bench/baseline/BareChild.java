package bare;

import java.io.BufferedInputStream;
import java.io.BufferedOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.EOFException;
import java.io.FileDescriptor;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.ArrayDeque;

/**
 * The floor the benchmarks compare against: the least a child of the bridge has to do. It
 * announces itself like the real child, then answers each request on the thread that reads it:
 * the requested number of callbacks, each waiting for the parent's answer, then the final answer.
 *
 * <p>Every frame, both ways: int64 thread id, one byte kind, int32 value.
 * Parent to child: kind 0 is a request (value: callbacks wanted), kind 1 answers a callback.
 * Child to parent: kind 1 is a callback (value: its number), kind 0 the final answer.
 */
public final class BareChild {
    private static final int REQUEST = 0;
    private static final int ANSWER = 1;
    private static final int FRAME_BYTES = 13;

    private final DataInputStream in;
    private final DataOutputStream out;
    /** Requests of other threads that arrived while a callback waited for its answer. */
    private final ArrayDeque<long[]> queued = new ArrayDeque<>();

    private BareChild(DataInputStream in, DataOutputStream out) {
        this.in = in;
        this.out = out;
    }

    public static void main(String[] args) throws IOException {
        byte[] token = "IMALIVE".getBytes(StandardCharsets.US_ASCII);
        FileOutputStream err = new FileOutputStream(FileDescriptor.err);
        err.write(token);
        err.flush();
        DataOutputStream out = new DataOutputStream(
                new BufferedOutputStream(new FileOutputStream(FileDescriptor.out), FRAME_BYTES * 4));
        out.writeShort(token.length);
        out.write(token);
        out.flush();
        DataInputStream in = new DataInputStream(
                new BufferedInputStream(new FileInputStream(FileDescriptor.in), 64 * 1024));
        try {
            new BareChild(in, out).serve();
        } catch (EOFException parentClosed) {
            // the parent is done
        }
    }

    private void serve() throws IOException {
        while (true) {
            long[] request = queued.isEmpty() ? readRequest() : queued.poll();
            long threadId = request[0];
            int callbacks = (int) request[1];
            for (int i = 0; i < callbacks; i++) {
                send(threadId, ANSWER, i);
                awaitAnswer();
            }
            send(threadId, REQUEST, 0);
        }
    }

    private long[] readRequest() throws IOException {
        long threadId = in.readLong();
        int kind = in.readByte();
        int value = in.readInt();
        if (kind != REQUEST) {
            throw new IOException("An answer arrived where a request was expected");
        }
        return new long[] {threadId, value};
    }

    private void awaitAnswer() throws IOException {
        while (true) {
            long threadId = in.readLong();
            int kind = in.readByte();
            int value = in.readInt();
            if (kind == ANSWER) {
                return;
            }
            queued.add(new long[] {threadId, value});
        }
    }

    private void send(long threadId, int kind, int value) throws IOException {
        out.writeLong(threadId);
        out.writeByte(kind);
        out.writeInt(value);
        out.flush();
    }
}
