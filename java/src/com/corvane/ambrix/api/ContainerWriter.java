package com.corvane.ambrix.api;

/**
 * A container whose data stream is written in pieces, for data too large to hold at once. Made with
 * {@link Host#beginContainer(String, String)}; only one can be open per call at a time.
 */
public interface ContainerWriter {
    /** Appends bytes to the data stream. */
    void append(byte[] data) throws HostException;

    /** Appends {@code length} bytes of {@code data}, starting at {@code offset}. */
    void append(byte[] data, int offset, int length) throws HostException;

    /**
     * Closes the stream. The writer cannot be used afterwards.
     *
     * @return the finished container
     */
    ContainerBuilder finish() throws HostException;
}
