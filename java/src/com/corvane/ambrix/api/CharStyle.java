package com.corvane.ambrix.api;

/**
 * A character style: face flags, font id, size and color. Made with {@link Host#newStyle()} or
 * read from a {@link StyledText}; valid only during the call that produced it.
 */
public interface CharStyle {
    /** Face flags; combine them with {@code |}. */
    int PLAIN = 0;
    int BOLD = 0x0001;
    int ITALIC = 0x0002;
    int UNDERLINE = 0x0004;

    /** The face flags, 0 to 65535. */
    int face() throws HostException;

    /** @throws IllegalArgumentException outside 0 to 65535 */
    void setFace(int face) throws HostException;

    /** The host's font id, 0 to 65535. */
    int fontId() throws HostException;

    /** @throws IllegalArgumentException outside 0 to 65535 */
    void setFontId(int fontId) throws HostException;

    /** The size in points, 0 to 65535. */
    int size() throws HostException;

    /** @throws IllegalArgumentException outside 0 to 65535 */
    void setSize(int size) throws HostException;

    /**
     * Sets the color; each channel 0 to 255.
     *
     * @throws IllegalArgumentException for a channel outside 0 to 255
     */
    void setColor(int red, int green, int blue, int alpha) throws HostException;

    /** Sets an opaque color. */
    void setColor(int red, int green, int blue) throws HostException;
}
