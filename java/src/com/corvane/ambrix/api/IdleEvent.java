package com.corvane.ambrix.api;

/** The host is idle; see {@link Plugin#idle(IdleEvent)}. */
public interface IdleEvent {
    /** The user does nothing. */
    int USER_IDLE = 0;
    /** The user works with the host. */
    int USER_NOT_IDLE = 1;
    /** A script is paused. */
    int SCRIPT_PAUSED = 2;
    /** A script runs. */
    int SCRIPT_RUNNING = 3;

    /** How idle the host is: {@link #USER_IDLE}, {@link #USER_NOT_IDLE} ... */
    int level();

    /** Whether the host allows calls that are unsafe at this moment. */
    boolean unsafeCallsAllowed();

    /** Host services, valid until the hook returns. */
    Host host();
}
