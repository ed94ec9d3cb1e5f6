package com.corvane.ambrix.api;

import java.io.IOException;
import java.nio.file.Path;
import java.util.SortedMap;

/** Services of the host, available during a call. */
public interface Host {
    /** What the host told the plug-in at start-up. */
    HostInfo info();

    /**
     * Evaluates a calculation expression in the call's context.
     *
     * @throws HostException with the host's error number when the expression fails
     */
    Value evaluate(String expression) throws HostException;

    /**
     * Runs an SQL query on one of the host's files.
     *
     * @param fileName the file; empty for the current one
     * @param parameters values for the query's placeholders, in order; the host receives them as
     *     text
     * @throws HostException with the host's error number when the query fails
     */
    SqlResult executeSql(String sql, String fileName, String... parameters) throws HostException;

    /**
     * Runs an SQL query and returns its rows as one text, columns and rows joined by the given
     * separators.
     */
    String executeSqlText(String sql, String fileName, char columnSeparator, char rowSeparator,
                          String... parameters) throws HostException;

    /** Starts a host script without a parameter. */
    void triggerScript(String fileName, String scriptName, ScriptControl control) throws HostException;

    /**
     * Starts a host script.
     *
     * @param parameter the script's parameter, as text; null for none
     * @throws HostException with the host's error number, for example when there is no such script
     */
    void triggerScript(String fileName, String scriptName, ScriptControl control, String parameter)
            throws HostException;

    /** The attributes of the plug-in archive's manifest, by name. Read from the host once. */
    SortedMap<String, String> manifestAttributes() throws HostException;

    /** A new host text in the default style. */
    StyledText newText(String text) throws HostException;

    /** A new style: plain, default font, size and color. */
    CharStyle newStyle() throws HostException;

    /** A new, empty container. */
    ContainerBuilder newContainer() throws HostException;

    /** A container holding a file: its name and its bytes. */
    ContainerBuilder containerFromBytes(String fileName, byte[] data) throws HostException;

    /**
     * A container holding a file that the host reads itself, without copying the bytes through
     * this process. The host runs on the same machine and must be able to read the file.
     *
     * @param fileName the name the container shows
     * @throws IOException when the file is not a readable regular file or is 4 GiB or larger
     */
    ContainerBuilder containerFromFile(Path file, String fileName) throws HostException, IOException;

    /**
     * Begins a container whose data is written in pieces.
     *
     * @param streamType the four-character type of the data stream, e.g. {@code "FILE"}
     * @throws IllegalStateException when another one is still open in this call
     */
    ContainerWriter beginContainer(String streamType, String fileName) throws HostException;
}
