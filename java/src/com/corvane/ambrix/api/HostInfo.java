package com.corvane.ambrix.api;

/** What the host tells the plug-in when it starts. */
public interface HostInfo {
    /** The host's plug-in API version; some features need a minimum version. */
    int apiVersion();

    /** The host's name and version, as the host writes it. */
    String versionString();

    /** The host's id of this plug-in instance. */
    long instanceId();

    /** The kind of host process: desktop application, server, web engine ... (host's number). */
    int applicationType();

    /** Whether the host is a server-type process, which has no user interface. */
    boolean isServer();

    /** Whether the host allowed unsafe calls at start-up. */
    boolean unsafeCallsAllowed();

    /** The plug-in's own file. */
    String resourcePath();

    /** The log file that this process's log statements end up in (empty when there is none). */
    String logFilePath();

    /** This process's id as the host knows it. */
    int processId();
}
