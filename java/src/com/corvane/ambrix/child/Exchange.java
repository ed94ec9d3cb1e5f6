package com.corvane.ambrix.child;

import com.corvane.ambrix.api.CallEndedException;

import java.io.IOException;
import java.util.concurrent.locks.ReentrantLock;

/**
 * One command of the parent and everything this process sends for it: callbacks, each answered
 * by a {@code callback_result} frame, and the final {@code finished}. All of it carries the thread
 * id of the command's frame, which is how the parent tells exchanges apart.
 *
 * <p>The parent serves one callback of an exchange at a time, so callbacks are serialised here
 * even when plug-in code calls the host from several threads of its own.
 */
final class Exchange {
    /** Reads the answer of one callback: the body of its {@code callback_result} frame. */
    interface ReplyReader<T> {
        T read(WireInput in) throws IOException;
    }

    static final ReplyReader<Void> NO_ANSWER = in -> null;

    final long threadId;
    final long sessionId;
    final long fileId;
    private final ChildSession session;
    private final ReentrantLock callLock = new ReentrantLock();
    private final Object state = new Object();
    private Pending<?> pending;
    private String endReason;
    private boolean abandoned;
    private boolean holdsHostObjects;
    private Object incrementalContainer;

    Exchange(ChildSession session, long threadId, long sessionId, long fileId) {
        this.session = session;
        this.threadId = threadId;
        this.sessionId = sessionId;
        this.fileId = fileId;
    }

    /** Sends one callback and waits for its answer. */
    <T> T call(CodeToParent code, Payload payload, ReplyReader<T> reader) throws CallEndedException {
        callLock.lock();
        try {
            Pending<T> request = new Pending<>(reader);
            synchronized (state) {
                checkOpen();
                // Registered before the message leaves: the answer may arrive before send returns.
                pending = request;
                if (code.createsHeldObject()) {
                    holdsHostObjects = true;
                }
            }
            session.send(threadId, code, payload);
            return request.await();
        } finally {
            synchronized (state) {
                pending = null;
            }
            callLock.unlock();
        }
    }

    /** The callback that waits for an answer, taken by the reader that has the answer's frame. */
    Pending<?> takePending() {
        synchronized (state) {
            Pending<?> taken = pending;
            pending = null;
            return taken;
        }
    }

    /** Lets the parent free the host objects it keeps for this exchange, if it keeps any. */
    void releaseHostObjects() throws CallEndedException {
        boolean release;
        synchronized (state) {
            release = holdsHostObjects;
        }
        if (release) {
            call(CodeToParent.clear_memory, Payload.empty(), NO_ANSWER);
            synchronized (state) {
                holdsHostObjects = false;
            }
        }
    }

    /**
     * The parent has moved on to a new command on this thread id: it will answer nothing more
     * here, so whatever waits must stop waiting and nothing more may be sent.
     */
    void abandon() {
        end("The host abandoned this call", true);
    }

    void connectionLost() {
        end("The connection to the host is closed", false);
    }

    /** Marks the exchange finished; false when it was abandoned and must not answer. */
    boolean markFinished() {
        synchronized (state) {
            if (abandoned) {
                return false;
            }
            if (endReason == null) {
                endReason = "This call has ended";
            }
            return true;
        }
    }

    boolean isAbandoned() {
        synchronized (state) {
            return abandoned;
        }
    }

    void checkOpen() throws CallEndedException {
        synchronized (state) {
            if (endReason != null) {
                throw new CallEndedException(endReason);
            }
        }
    }

    /** Claims the one incremental container the parent can build per thread at a time. */
    void beginIncrementalContainer(Object writer) {
        synchronized (state) {
            if (incrementalContainer != null) {
                throw new IllegalStateException("Another container is still being built in this call; finish it first");
            }
            incrementalContainer = writer;
        }
    }

    void endIncrementalContainer(Object writer) {
        synchronized (state) {
            if (incrementalContainer == writer) {
                incrementalContainer = null;
            }
        }
    }

    private void end(String reason, boolean byAbandonment) {
        Pending<?> waiting;
        synchronized (state) {
            if (endReason == null || byAbandonment) {
                endReason = reason;
            }
            abandoned |= byAbandonment;
            waiting = pending;
            pending = null;
        }
        if (waiting != null) {
            waiting.fail(new CallEndedException(reason));
        }
    }

    /** One outstanding callback: how to read its answer, and the answer once it is read. */
    static final class Pending<T> {
        final ReplyReader<T> reader;
        private T value;
        private CallEndedException failure;
        private boolean done;

        Pending(ReplyReader<T> reader) {
            this.reader = reader;
        }

        @SuppressWarnings("unchecked")
        synchronized void complete(Object answer) {
            value = (T) answer;
            done = true;
            notifyAll();
        }

        synchronized void fail(CallEndedException cause) {
            failure = cause;
            done = true;
            notifyAll();
        }

        /**
         * Waits without giving up on interrupts: the answer is on its way (or the exchange ends),
         * and leaving early would leave the reader without the layout of that answer.
         */
        synchronized T await() throws CallEndedException {
            boolean interrupted = false;
            while (!done) {
                try {
                    wait();
                } catch (InterruptedException e) {
                    interrupted = true;
                }
            }
            if (interrupted) {
                Thread.currentThread().interrupt();
            }
            if (failure != null) {
                throw new CallEndedException(failure.getMessage());
            }
            return value;
        }
    }
}
