package com.corvane.ambrix.api;

/** The details of a declared function. Every setter returns the declaration for chaining. */
public interface FunctionDeclaration {
    /** For {@link #arguments(int, int)}: no upper limit. */
    int ANY_NUMBER = -1;

    /** Flags for {@link #flags(int)}. */
    int MAY_EVALUATE_ON_SERVER = 0x00000001;
    int DISPLAY_IN_ALL_DIALOGS = 0x0000FF00;
    int FUTURE_COMPATIBLE = 0x00FF0000;
    /** The flags a function has unless set otherwise. */
    int DEFAULT_FLAGS = DISPLAY_IN_ALL_DIALOGS | FUTURE_COMPATIBLE;

    /**
     * The number of parameters the host accepts (default none).
     *
     * @param max at least {@code min}, or {@link #ANY_NUMBER}
     * @throws IllegalArgumentException when the range is not 0 &lt;= min &lt;= max &lt;= 32767
     */
    FunctionDeclaration arguments(int min, int max);

    /** How the host shows the function, e.g. {@code "MYPL_Upper ( text )"}; the name by default. */
    FunctionDeclaration prototype(String prototype);

    /** A sentence the host shows while typing the name (hosts of API version 56 and later). */
    FunctionDeclaration description(String description);

    /** Host flags; {@link #DEFAULT_FLAGS} unless set. */
    FunctionDeclaration flags(int flags);

    /** A time-out hint for the host, in seconds (default 0: none). */
    FunctionDeclaration timeoutSeconds(int seconds);

    /** Whether the function shows a user interface (default false). */
    FunctionDeclaration gui(boolean gui);
}
