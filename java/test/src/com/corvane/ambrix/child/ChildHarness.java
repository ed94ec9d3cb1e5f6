package com.corvane.ambrix.child;

import static com.corvane.ambrix.child.FakeParent.bytes;
import static org.junit.jupiter.api.Assertions.assertEquals;

import com.corvane.ambrix.api.Plugin;

import java.io.BufferedInputStream;
import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.channels.Channels;
import java.nio.channels.Pipe;
import java.util.List;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.TimeUnit;

/** A child session in this JVM, connected to a {@link FakeParent} over two OS pipes. */
final class ChildHarness implements AutoCloseable {
    static final long INIT_THREAD = 1;

    final FakeParent parent;
    /** How many functions and script steps the last {@link #init} registered. */
    int registrations;
    /** The status the session asked to exit with. */
    final CompletableFuture<Integer> exit = new CompletableFuture<>();
    private final Pipe toChild;
    private final Pipe fromChild;
    private final Thread reader;

    ChildHarness(Plugin... plugins) throws IOException {
        this(() -> List.of(plugins));
    }

    ChildHarness(ChildSession.PluginSource plugins) throws IOException {
        toChild = Pipe.open();
        fromChild = Pipe.open();
        ChildSession session = new ChildSession(
                new BufferedInputStream(Channels.newInputStream(toChild.source())),
                new BufferedOutputStream(Channels.newOutputStream(fromChild.sink())),
                plugins,
                exit::complete);
        reader = new Thread(session::run, "test-child-reader");
        reader.setDaemon(true);
        reader.start();
        parent = new FakeParent(new BufferedInputStream(Channels.newInputStream(fromChild.source())),
                new BufferedOutputStream(Channels.newOutputStream(toChild.sink())));
    }

    static FakeParent.Bytes initBody(int apiVersion) {
        return bytes().int16(apiVersion).text("Host 21.0").int64(77).int8(1).text("/plugins/test.fmx")
                .text("/logs/test.log").int16(1).int32(4242);
    }

    /** Starts the plug-in: init, every registration answered; returns the init result. */
    int init(int apiVersion) throws IOException {
        parent.command(INIT_THREAD, FakeParent.INIT, initBody(apiVersion));
        registrations = 0;
        while (true) {
            int code = parent.header(INIT_THREAD);
            if (code == FakeParent.FINISHED) {
                int result = parent.in().readInt();
                parent.expectSeparator();
                return result;
            }
            skipRegistration(code, apiVersion);
            registrations++;
            parent.expectSeparator();
            parent.answer(INIT_THREAD, bytes());
        }
    }

    void initOk() throws IOException {
        assertEquals(0, init(56), "init result");
    }

    private void skipRegistration(int code, int apiVersion) throws IOException {
        var in = parent.in();
        in.readShort();
        parent.readText();
        parent.readText();
        if (code == FakeParent.REGISTER_FUNCTION) {
            in.readInt();
            in.readInt();
            in.readInt();
            in.readInt();
            in.readByte();
            if (apiVersion >= 56) {
                parent.readText();
            }
        } else {
            assertEquals(FakeParent.REGISTER_SCRIPT_STEP, code, "registration code");
            in.readInt();
            in.readInt();
            in.readByte();
            parent.readText();
        }
    }

    /** Ends the parent's stream. */
    void closeInput() {
        try {
            toChild.sink().close();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    int exitStatus() throws Exception {
        return exit.get(10, TimeUnit.SECONDS);
    }

    @Override
    public void close() throws IOException {
        closeInput();
        try {
            reader.join(TimeUnit.SECONDS.toMillis(10));
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
        fromChild.sink().close();
        fromChild.source().close();
        toChild.source().close();
    }
}
