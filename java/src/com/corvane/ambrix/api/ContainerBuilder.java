package com.corvane.ambrix.api;

/**
 * A container made in this call, which can still be changed. Put it into the result with
 * {@link Result#setContainer(Container)}.
 */
public interface ContainerBuilder extends Container {
    /**
     * Appends a stream.
     *
     * @param streamType exactly four characters
     */
    void addStream(String streamType, byte[] data) throws HostException;

    /** Removes the first stream of that type, if there is one. */
    void removeStream(String streamType) throws HostException;

    /** Sets the file name, replacing any earlier one. */
    void setFileName(String fileName) throws HostException;

    /**
     * Records the pixel size of a picture.
     *
     * @throws IllegalArgumentException outside 0 to 32767
     */
    void setPictureSize(int width, int height) throws HostException;
}
