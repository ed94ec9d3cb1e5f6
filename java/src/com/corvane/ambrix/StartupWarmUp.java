package com.corvane.ambrix;

import java.util.TimeZone;
import java.util.logging.Logger;

/**
 * Loads, on a second processor, what the first commands of the host need, while the main thread
 * announces the process and sets up logging. The host waits for the plug-in's start-up until its
 * functions are registered, and loading this on the main thread afterwards is most of that wait.
 * Nothing here has effects beyond loading classes and the JDK's logging and time-zone setup.
 */
final class StartupWarmUp implements Runnable {
    private static final String[] CLASSES = {
        "com.corvane.ambrix.child.ChildSession",
        "com.corvane.ambrix.child.Exchange",
        "com.corvane.ambrix.child.Exchange$Pending",
        "com.corvane.ambrix.child.WireInput",
        "com.corvane.ambrix.child.MessageWriter",
        "com.corvane.ambrix.child.Payload",
        "com.corvane.ambrix.child.CodeToChild",
        "com.corvane.ambrix.child.CodeToParent",
        "com.corvane.ambrix.child.InitCommand",
        "com.corvane.ambrix.child.FunctionCommand",
        "com.corvane.ambrix.child.RegistrarImpl",
        "com.corvane.ambrix.child.DeclaredEntry",
        "com.corvane.ambrix.child.FunctionEntry",
        "com.corvane.ambrix.child.ScriptStepEntry",
        "com.corvane.ambrix.child.PluginRuntime",
        "com.corvane.ambrix.child.Answers",
        "com.corvane.ambrix.child.FunctionCallImpl",
        "com.corvane.ambrix.child.RemoteHost",
        "com.corvane.ambrix.child.RemoteValue",
        "com.corvane.ambrix.child.RemoteText",
        "com.corvane.ambrix.logging.FramedStderrHandler",
        "com.corvane.ambrix.logging.HostLogFormatter",
        "com.corvane.ambrix.logging.LoggingOutputStream",
    };

    static void start() {
        Thread thread = new Thread(new StartupWarmUp(), "ambrix-warm-up");
        thread.setDaemon(true);
        thread.start();
    }

    @Override
    public void run() {
        try {
            Logger.getLogger("");
            TimeZone.getDefault();
            // The first lambda of the process sets up the runtime's support for all of them.
            Runnable first = () -> { };
            first.run();
            ClassLoader loader = StartupWarmUp.class.getClassLoader();
            for (String name : CLASSES) {
                Class.forName(name, false, loader);
            }
        } catch (ClassNotFoundException | RuntimeException | LinkageError e) {
            // Only a head start: whatever failed here is loaded when it is needed, and fails there.
        }
    }
}
