package com.corvane.ambrix.api;

/** What happens to a running script when a plug-in starts another one. */
public enum ScriptControl {
    /** Stop every running script. */
    HALT(0),
    /** End the current script. */
    EXIT(1),
    /** Let a paused script go on. */
    RESUME(2),
    /** Pause the running script while the new one runs. */
    PAUSE(3);

    private final int code;

    ScriptControl(int code) {
        this.code = code;
    }

    /** The host's number for this choice. */
    public int code() {
        return code;
    }
}
