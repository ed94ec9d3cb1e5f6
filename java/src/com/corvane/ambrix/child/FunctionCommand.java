package com.corvane.ambrix.child;

import java.io.IOException;

/** The body of a {@code do_function} command. */
final class FunctionCommand {
    /** The host passes a 16-bit argument count; more is a stream out of step. */
    static final int MAX_PARAMETERS = 0xFFFF;

    final int functionId;
    final long[] parameterTokens;
    final long resultToken;
    final boolean unsafeCalls;
    final boolean gui;

    FunctionCommand(int functionId, long[] parameterTokens, long resultToken, boolean unsafeCalls, boolean gui) {
        this.functionId = functionId;
        this.parameterTokens = parameterTokens;
        this.resultToken = resultToken;
        this.unsafeCalls = unsafeCalls;
        this.gui = gui;
    }

    static FunctionCommand read(WireInput in) throws IOException {
        short functionId = in.readInt16();
        int count = in.readInt32();
        if (count < 0 || count > MAX_PARAMETERS) {
            throw new ProtocolException("Parameter count " + count + " is outside 0.." + MAX_PARAMETERS);
        }
        long[] tokens = new long[count];
        for (int i = 0; i < count; i++) {
            tokens[i] = in.readInt64();
        }
        long resultToken = in.readInt64();
        boolean unsafeCalls = in.readByte() != 0;
        boolean gui = in.readByte() != 0;
        return new FunctionCommand(functionId, tokens, resultToken, unsafeCalls, gui);
    }
}
