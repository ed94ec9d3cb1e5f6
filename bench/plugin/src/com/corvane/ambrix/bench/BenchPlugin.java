package com.corvane.ambrix.bench;

import com.corvane.ambrix.api.FunctionCall;
import com.corvane.ambrix.api.HostException;
import com.corvane.ambrix.api.Plugin;
import com.corvane.ambrix.api.Registrar;

/**
 * Functions for the benchmarks, each with a fixed number of requests to the host, so that the
 * cost of a call and the cost of a callback can be told apart.
 */
public final class BenchPlugin implements Plugin {
    /** Function ids: BNCH_Calls{n} has the id CALLS_BASE + n. */
    private static final int NOTHING_ID = 1;
    private static final int CALLS_BASE = 100;
    private static final int[] CALLBACK_COUNTS = {0, 1, 3, 10};

    @Override
    public void register(Registrar registrar) {
        registrar.function(NOTHING_ID, "BNCH_Nothing", call -> { })
                .prototype("BNCH_Nothing")
                .description("Returns at once without touching the host: an empty result");
        for (int count : CALLBACK_COUNTS) {
            registrar.function(CALLS_BASE + count, "BNCH_Calls" + count, call -> callbacks(call, count))
                    .arguments(1, 1)
                    .prototype("BNCH_Calls" + count + " ( text )")
                    .description("Makes exactly " + count + " requests to the host");
        }
    }

    /**
     * One request: the parameter is read. Three or more: the parameter is read (count - 2) times
     * and written as the text result, which the runtime follows with its request to release what
     * the host keeps for the call.
     */
    private static void callbacks(FunctionCall call, int count) throws HostException {
        if (count == 0) {
            return;
        }
        if (count < 3) {
            for (int i = 0; i < count; i++) {
                call.parameter(0).asText();
            }
            return;
        }
        String text = "";
        for (int i = 0; i < count - 2; i++) {
            text = call.parameter(0).asText();
        }
        call.result().setText(text);
    }
}
