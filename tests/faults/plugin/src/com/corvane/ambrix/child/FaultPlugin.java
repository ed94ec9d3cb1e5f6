package com.corvane.ambrix.child;

import com.corvane.ambrix.api.FunctionCall;
import com.corvane.ambrix.api.Plugin;
import com.corvane.ambrix.api.Registrar;

import java.io.ByteArrayOutputStream;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.lang.reflect.Field;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.CountDownLatch;

/**
 * A plug-in that breaks the protocol on request. It lives in the child's own package because it
 * must reach what no plug-in should: the exchange's thread id and the raw standard output that
 * carries the protocol.
 */
public final class FaultPlugin implements Plugin {
    private static final int SEPARATOR = 0xFF;
    /** Code of get_clipboard_data, which the parent has no handler for. */
    private static final int NO_HANDLER_CODE = 7;
    /** Code of get_text_length: token, separator. */
    private static final int GET_TEXT_LENGTH = 19;
    /** Code of create_fm_text: a unicode field, separator. */
    private static final int CREATE_FM_TEXT = 13;

    private static final OutputStream RAW_OUT = new FileOutputStream(FileDescriptor.out);
    private static volatile boolean stubborn;

    @Override
    public void register(Registrar registrar) {
        registrar.function(1, "FLT_Echo", call -> call.result().setText(call.parameter(0).asText()))
                .arguments(1, 1);
        registrar.function(12, "FLT_Pid", call -> call.result().setNumber(ProcessHandle.current().pid()));
        registrar.function(2, "FLT_ExitInCall", call -> Runtime.getRuntime().halt(7));
        registrar.function(3, "FLT_ExitInCallback", call -> {
            // A callback cut off after its code: the parent is left inside a message.
            rawFrame(call, GET_TEXT_LENGTH, new byte[] {0, 0, 0});
            Runtime.getRuntime().halt(7);
        });
        registrar.function(4, "FLT_Garbage", call -> {
            writeRaw("\u0001garbage that is no frame\u0000\u00ff\u00fe".getBytes(StandardCharsets.ISO_8859_1));
            waitForever();
        });
        registrar.function(5, "FLT_WrongSeparator", call -> {
            ByteArrayOutputStream frame = header(threadId(call));
            frame.write(0x00);
            writeRaw(frame.toByteArray());
            waitForever();
        });
        registrar.function(6, "FLT_UnknownCode", call -> {
            rawFrame(call, NO_HANDLER_CODE, new byte[0]);
            waitForever();
        });
        registrar.function(7, "FLT_OtherThread", call -> {
            ByteArrayOutputStream frame = header(threadId(call) ^ 0x5A5A5A5AL);
            frame.write(SEPARATOR);
            frame.write(0);
            frame.write(0);
            writeRaw(frame.toByteArray());
            waitForever();
        });
        registrar.function(8, "FLT_AbsurdLength", call -> {
            rawFrame(call, CREATE_FM_TEXT, new byte[] {0x7F, (byte) 0xFF, (byte) 0xFF, (byte) 0xFE});
            waitForever();
        });
        registrar.function(9, "FLT_ForgedToken", call -> {
            // A well-formed callback on a token the parent never handed out.
            String text = new RemoteValue(exchange(call), 0x5EED5EEDL).asText();
            call.result().setText("forged:[" + text + "]");
        });
        registrar.function(10, "FLT_Stray", call -> {
            System.out.println("stray line from plug-in code");
            System.out.print(new String(new char[] {0, 0xFF, 0xFE}));
            System.out.flush();
            call.result().setText("still in step");
        });
        registrar.function(11, "FLT_BecomeStubborn", call -> {
            // From now on SIGTERM is ignored, the plug-in's shutdown hook never
            // returns and neither does the runtime's exit.
            sun.misc.Signal.handle(new sun.misc.Signal("TERM"), signal -> { });
            Runtime.getRuntime().addShutdownHook(new Thread(() -> {
                try {
                    waitForever();
                } catch (InterruptedException e) {
                    Thread.currentThread().interrupt();
                }
            }));
            stubborn = true;
            call.result().setText("stubborn");
        });
    }

    @Override
    public void shutdown() throws InterruptedException {
        if (stubborn) {
            waitForever();
        }
    }

    private static Exchange exchange(FunctionCall call) throws ReflectiveOperationException {
        Field field = FunctionCallImpl.class.getDeclaredField("exchange");
        field.setAccessible(true);
        return (Exchange) field.get(call);
    }

    private static long threadId(FunctionCall call) throws ReflectiveOperationException {
        return exchange(call).threadId;
    }

    private static ByteArrayOutputStream header(long threadId) {
        ByteArrayOutputStream frame = new ByteArrayOutputStream();
        for (int i = 0; i < 8; i++) {
            frame.write((int) (threadId >>> (56 - 8 * i)));
        }
        return frame;
    }

    private static void rawFrame(FunctionCall call, int code, byte[] payload)
            throws IOException, ReflectiveOperationException {
        ByteArrayOutputStream frame = header(threadId(call));
        frame.write(SEPARATOR);
        frame.write(code >>> 8);
        frame.write(code);
        frame.write(payload);
        writeRaw(frame.toByteArray());
    }

    private static void writeRaw(byte[] bytes) throws IOException {
        RAW_OUT.write(bytes);
        RAW_OUT.flush();
    }

    /** Parks the call: the parent must end it on its own. */
    private static void waitForever() throws InterruptedException {
        new CountDownLatch(1).await();
    }
}
