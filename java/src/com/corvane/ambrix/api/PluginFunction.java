package com.corvane.ambrix.api;

/**
 * The code of a plug-in function or script step.
 *
 * <p>The call succeeds when the method returns normally. When it throws a {@link HostException},
 * the host receives that exception's error number as the call's result; any other exception is
 * logged, reported to the host and gives {@link #GENERIC_ERROR}.
 */
@FunctionalInterface
public interface PluginFunction {
    /**
     * The result of a call that failed without a host error number of its own: an unexpected
     * exception, an unknown function id, or a {@link HostException} whose number would read as
     * success (0, or a multiple of 65536, since the host keeps the low 16 bits).
     */
    int GENERIC_ERROR = 1;

    /**
     * Runs one call: read the parameters, set the result.
     *
     * @param call the call's parameters, result and host services; valid until this method returns
     * @throws Exception to fail the call (see the class description for the result the host gets)
     */
    void call(FunctionCall call) throws Exception;
}
