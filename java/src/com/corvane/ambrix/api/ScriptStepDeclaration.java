package com.corvane.ambrix.api;

/** The details of a declared script step. Every setter returns the declaration for chaining. */
public interface ScriptStepDeclaration {
    /** Flags for {@link #flags(int)}. */
    int ALLOWED_ON_SERVER = 0x00000001;
    int ALLOWED_ON_WEB = 0x00000002;

    /** The step's parameter definition in the host's XML form (default: none). */
    ScriptStepDeclaration definition(String xml);

    /** A sentence the host shows for the step. */
    ScriptStepDeclaration description(String description);

    /** Host flags (default 0). */
    ScriptStepDeclaration flags(int flags);

    /** A time-out hint for the host, in seconds (default 0: none). */
    ScriptStepDeclaration timeoutSeconds(int seconds);

    /** Whether the step shows a user interface (default false). */
    ScriptStepDeclaration gui(boolean gui);
}
