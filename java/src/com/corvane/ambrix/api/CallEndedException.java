package com.corvane.ambrix.api;

/**
 * The call a handle belongs to is over: it returned, the host gave up waiting for it, or the
 * connection to the host closed. Nothing more can be asked of the host through this call; let the
 * exception end your function.
 */
public class CallEndedException extends HostException {
    private static final long serialVersionUID = 1L;

    /** The error number this exception carries. */
    public static final int CALL_ENDED = -1;

    /** @param message why the call is over */
    public CallEndedException(String message) {
        super(CALL_ENDED, message);
    }
}
