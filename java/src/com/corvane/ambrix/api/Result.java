package com.corvane.ambrix.api;

import java.math.BigDecimal;
import java.time.LocalDateTime;

/**
 * The value a call returns to the host. It starts empty; each setter replaces what was set before.
 * It can be read back like any other {@link Value}.
 */
public interface Result extends Value {
    /** Sets text. */
    void setText(String text) throws HostException;

    /**
     * Sets a number. The host receives the number's text form ({@code "42"}), which it reads as a
     * number wherever one is needed.
     */
    void setNumber(long number) throws HostException;

    /**
     * Sets a number from a double, written as its shortest exact decimal text.
     *
     * @throws IllegalArgumentException for NaN and infinities, which the host cannot hold
     */
    void setNumber(double number) throws HostException;

    /** Sets a number from its exact decimal form. */
    void setNumber(BigDecimal number) throws HostException;

    /**
     * Sets a timestamp, to the second (smaller units are dropped).
     *
     * @throws IllegalArgumentException for years outside 1 to 32767, which the host cannot hold
     */
    void setTimestamp(LocalDateTime timestamp) throws HostException;

    /** Sets styled text made with {@link Host#newText(String)} or read in this call. */
    void setStyledText(StyledText text) throws HostException;

    /** Sets a container made or read in this call; the host keeps a copy. */
    void setContainer(Container container) throws HostException;
}
