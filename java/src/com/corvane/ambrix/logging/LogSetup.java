package com.corvane.ambrix.logging;

import java.io.OutputStream;
import java.util.logging.ConsoleHandler;
import java.util.logging.Handler;
import java.util.logging.LogManager;
import java.util.logging.Logger;

/**
 * Points the JDK's logging at standard error in the host's statement framing. The logging
 * configuration (the file named by {@code -Djava.util.logging.config.file}) is read by the JDK
 * as usual; only console handlers are replaced, since they would write unframed text.
 */
public final class LogSetup {
    private LogSetup() {
    }

    public static void install(OutputStream standardError) {
        Logger root = Logger.getLogger("");
        boolean framed = false;
        Handler console = null;
        for (Handler handler : root.getHandlers()) {
            if (handler instanceof FramedStderrHandler) {
                framed = true;
            } else if (handler instanceof ConsoleHandler) {
                root.removeHandler(handler);
                console = handler;
            }
        }
        if (framed) {
            return;
        }
        FramedStderrHandler handler = new FramedStderrHandler(standardError);
        // A console handler configured in the properties keeps its level and formatter in its new form.
        String prefix = FramedStderrHandler.class.getName();
        LogManager manager = LogManager.getLogManager();
        if (console != null && manager.getProperty(prefix + ".level") == null) {
            handler.setLevel(console.getLevel());
        }
        if (console != null && manager.getProperty(prefix + ".formatter") == null && console.getFormatter() != null) {
            handler.setFormatter(FramedStderrHandler.fastEquivalent(console.getFormatter()));
        }
        root.addHandler(handler);
    }
}
