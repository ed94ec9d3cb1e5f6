package com.corvane.ambrix.api;

/**
 * The host reported an error, or a request could not reach it. Thrown by every method that asks
 * the host for something.
 *
 * <p>A plug-in function may throw it too: the call then ends with {@link #getErrorCode()} as its
 * result, the way the host reports its own errors.
 */
public class HostException extends Exception {
    private static final long serialVersionUID = 1L;

    private final int errorCode;

    /**
     * @param errorCode the host's error number; 0 is not an error and is reported as
     *     {@link PluginFunction#GENERIC_ERROR} when a function ends with this exception
     * @param message what went wrong
     */
    public HostException(int errorCode, String message) {
        super(message);
        this.errorCode = errorCode;
    }

    /** The same, with the failure that led to this one. */
    public HostException(int errorCode, String message, Throwable cause) {
        super(message, cause);
        this.errorCode = errorCode;
    }

    /** The host's error number. */
    public int getErrorCode() {
        return errorCode;
    }

    @Override
    public String toString() {
        return super.toString() + " (error " + errorCode + ")";
    }
}
