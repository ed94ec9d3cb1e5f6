package com.corvane.ambrix.api;

/**
 * Collects the functions and script steps of a plug-in in {@link Plugin#register(Registrar)}.
 *
 * <p>Ids identify a function or step towards the host for good: calculations stored by the host
 * refer to them, so keep each id once published. Functions and script steps share one set of ids.
 */
public interface Registrar {
    /** What the host told the plug-in at start-up, e.g. to offer some functions only on servers. */
    HostInfo hostInfo();

    /**
     * Declares a calculation function; refine it with the returned declaration.
     *
     * @param id 0 to 32767, unique among the plug-in's functions and script steps
     * @param name the name in calculations, e.g. {@code "MYPL_Upper"}
     * @throws IllegalArgumentException for an id out of range or already used, or an empty name
     */
    FunctionDeclaration function(int id, String name, PluginFunction body);

    /**
     * Declares a script step; refine it with the returned declaration.
     *
     * @param id 0 to 32767, unique among the plug-in's functions and script steps
     * @throws IllegalArgumentException for an id out of range or already used, or an empty name
     */
    ScriptStepDeclaration scriptStep(int id, String name, PluginFunction body);
}
