package com.corvane.ambrix.api;

/**
 * A host text with character styles. Positions and lengths count UTF-16 units, the way
 * {@link String} does. Made with {@link Host#newText(String)} or read with
 * {@link Value#asStyledText()}; valid only during the call that produced it.
 */
public interface StyledText {
    /** The length in UTF-16 units. */
    int length() throws HostException;

    /** The whole text, without styles. */
    String text() throws HostException;

    /**
     * Part of the text.
     *
     * @param offset first unit, from 0
     * @param count number of units; units past the end of the text come back as {@code '\0'}
     */
    String substring(int offset, int count) throws HostException;

    /** Appends plain text in the text's default style. */
    void append(String text) throws HostException;

    /** Appends another host text with its styles. */
    void append(StyledText text) throws HostException;

    /** Applies a style to {@code length} units starting at {@code start}. */
    void setStyle(CharStyle style, int start, int length) throws HostException;

    /** The style of the unit at {@code position}. */
    CharStyle styleAt(int position) throws HostException;

    /** The style that text without a style of its own has. */
    CharStyle defaultStyle() throws HostException;
}
