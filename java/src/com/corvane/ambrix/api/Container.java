package com.corvane.ambrix.api;

/**
 * A host container: an ordered list of streams, each with a four-character type (for example
 * {@code "FNAM"} for the file name, {@code "FILE"} for file data, {@code "SIZE"} for a picture
 * size) and its bytes. Valid only during the call that produced it.
 */
public interface Container {
    /** The number of streams. */
    int streamCount() throws HostException;

    /** The four-character type of a stream, counted from 0. */
    String streamType(int index) throws HostException;

    /** The index of the first stream of a type, or -1 when there is none. */
    int indexOf(String streamType) throws HostException;

    /** The size of a stream in bytes (0 for an index that names none). */
    long streamSize(int index) throws HostException;

    /** The size of all streams together. */
    long totalSize() throws HostException;

    /**
     * Bytes of a stream.
     *
     * @param offset first byte, from 0
     * @param length number of bytes; the array always has this length, and bytes past the end
     *     of the stream are 0
     */
    byte[] readStream(int index, int offset, int length) throws HostException;

    /**
     * A whole stream.
     *
     * @throws HostException also when the stream is larger than a Java array can hold
     */
    byte[] readStream(int index) throws HostException;

    /** The file name the container holds; empty when it holds none. */
    String fileName() throws HostException;
}
