package com.corvane.ambrix.child;

import com.corvane.ambrix.api.Plugin;
import com.corvane.ambrix.api.Registrar;

import java.util.logging.Logger;

/** The plug-in of the child processes that the tests start: it prints where it should not. */
public final class PrintingPlugin implements Plugin {
    @Override
    public void register(Registrar registrar) {
        registrar.function(1, "P_Print", call -> {
            System.out.println("stray output");
            System.err.println("stray error");
            Logger.getLogger("test.plugin").info("logged {braces} \u000B\u000C inside");
            call.result().setText("done");
        });
    }
}
