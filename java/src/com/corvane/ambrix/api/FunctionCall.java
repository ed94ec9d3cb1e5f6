package com.corvane.ambrix.api;

import java.util.List;

/** One call of a plug-in function or script step: its parameters, its result and the host. */
public interface FunctionCall {
    /** The id the function or step was declared with. */
    int functionId();

    /** The name the function or step was declared with. */
    String functionName();

    /** Whether a script step runs, rather than a calculation function. */
    boolean isScriptStep();

    /** How many parameters the host passed. */
    int parameterCount();

    /**
     * One parameter, counted from 0.
     *
     * @throws IndexOutOfBoundsException when the call has no such parameter
     */
    Value parameter(int index);

    /** All parameters in order. */
    List<Value> parameters();

    /** The value the call returns to the host; set it before the function returns. */
    Result result();

    /** Host services for this call. */
    Host host();

    /** Whether the host allows calls that are unsafe at this moment (the host's own flag). */
    boolean unsafeCallsAllowed();

    /** The host's id of the session the call runs in (0 when the host does not tell). */
    long sessionId();

    /** The host's id of the file the call runs in (0 when the host does not tell). */
    long fileId();
}
