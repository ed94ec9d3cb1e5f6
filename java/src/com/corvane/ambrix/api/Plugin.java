package com.corvane.ambrix.api;

/**
 * A plug-in. Name the implementing class in the archive's
 * {@code META-INF/services/com.corvane.ambrix.api.Plugin} file; it needs a public constructor
 * without arguments.
 *
 * <p>The hooks are optional. Exceptions from them are logged.
 */
public interface Plugin {
    /**
     * Declares the plug-in's functions and script steps; called once when the host starts the
     * plug-in. An exception here stops the plug-in from starting.
     */
    void register(Registrar registrar) throws Exception;

    /** The host is idle. Called often; return quickly. */
    default void idle(IdleEvent event) throws Exception {
    }

    /** A host session has ended. The host is not waiting, so there is no host access here. */
    default void sessionEnded(long sessionId) throws Exception {
    }

    /** A host file was closed. The host is not waiting, so there is no host access here. */
    default void fileClosed(long sessionId, long fileId) throws Exception {
    }

    /** The host is shutting down. Return within half a second; the process ends right after. */
    default void shutdown() throws Exception {
    }
}
