package com.corvane.ambrix.api;

import java.math.BigDecimal;
import java.time.LocalDate;
import java.time.LocalDateTime;
import java.time.LocalTime;

/**
 * A host value: a parameter, a result, a cell of an SQL result or the result of an evaluation.
 * Every method asks the host, which converts the value into the requested form the way it does
 * in its own calculations. The handle is valid only during the call that produced it.
 */
public interface Value {
    /** Whether the value is empty (empty text, empty container, no value at all). */
    boolean isEmpty() throws HostException;

    /** The kind of value the host holds. */
    DataType nativeType() throws HostException;

    /** The value as text; every kind of value has a text form. */
    String asText() throws HostException;

    /**
     * The value as a whole number, truncated toward zero. Numbers beyond the range of
     * {@code long} give {@link Long#MIN_VALUE} or {@link Long#MAX_VALUE}; a value that is no
     * number gives what the host makes of it (usually 0).
     */
    long asLong() throws HostException;

    /** The value as a double, as the host converts it. */
    double asDouble() throws HostException;

    /**
     * The exact decimal value, read from the value's text form.
     *
     * @throws NumberFormatException when the text form is not a decimal number
     */
    BigDecimal asBigDecimal() throws HostException;

    /**
     * The value as a date and time, to the second.
     *
     * @return null when the value has no date (empty, or a time of day only)
     */
    LocalDateTime asTimestamp() throws HostException;

    /** The date part; null when the value has no date. */
    LocalDate asDate() throws HostException;

    /** The time of day, to the second; null when the value is empty. */
    LocalTime asTime() throws HostException;

    /** The value's text with its character styles. */
    StyledText asStyledText() throws HostException;

    /** The container inside the value (an empty one when the value is no container). */
    Container asContainer() throws HostException;
}
