package com.corvane.ambrix.child;

import com.corvane.ambrix.api.Container;
import com.corvane.ambrix.api.DataType;
import com.corvane.ambrix.api.HostException;
import com.corvane.ambrix.api.Result;
import com.corvane.ambrix.api.StyledText;

import java.math.BigDecimal;
import java.math.RoundingMode;
import java.time.LocalDate;
import java.time.LocalDateTime;
import java.time.LocalTime;

/** A host value (parameter, result, cell, evaluation result). */
final class RemoteValue extends RemoteObject implements Result {
    private static final int MAX_HOST_YEAR = 32767;
    private static final BigDecimal LONG_MIN = BigDecimal.valueOf(Long.MIN_VALUE);
    private static final BigDecimal LONG_MAX = BigDecimal.valueOf(Long.MAX_VALUE);

    RemoteValue(Exchange exchange, long token) {
        super(exchange, token);
    }

    @Override
    public boolean isEmpty() throws HostException {
        return ask(CodeToParent.is_empty, Answers.BOOL);
    }

    @Override
    public DataType nativeType() throws HostException {
        return DataType.fromCode(ask(CodeToParent.get_native_type, Answers.INT32));
    }

    @Override
    public String asText() throws HostException {
        return ask(CodeToParent.get_fm_data_as_string, Answers.TEXT);
    }

    /**
     * The host's integer conversion stops at the 32-bit limits; a value at a limit is read again
     * from its text so that larger numbers come out right.
     */
    @Override
    public long asLong() throws HostException {
        long value = ask(CodeToParent.get_long_data, Answers.INT64);
        if (value != Integer.MAX_VALUE && value != Integer.MIN_VALUE) {
            return value;
        }
        try {
            BigDecimal exact = parseDecimal(asText()).setScale(0, RoundingMode.DOWN);
            return exact.max(LONG_MIN).min(LONG_MAX).longValueExact();
        } catch (NumberFormatException notANumber) {
            return value;
        }
    }

    @Override
    public double asDouble() throws HostException {
        return Double.longBitsToDouble(ask(CodeToParent.get_double_data, Answers.INT64));
    }

    @Override
    public BigDecimal asBigDecimal() throws HostException {
        return parseDecimal(asText());
    }

    @Override
    public LocalDateTime asTimestamp() throws HostException {
        return HostTime.toDateTime(seconds());
    }

    @Override
    public LocalDate asDate() throws HostException {
        LocalDateTime timestamp = asTimestamp();
        return timestamp == null ? null : timestamp.toLocalDate();
    }

    /** The host answers 0 both for midnight and for an empty value; only then is emptiness asked. */
    @Override
    public LocalTime asTime() throws HostException {
        long seconds = seconds();
        if (seconds == 0 && isEmpty()) {
            return null;
        }
        return HostTime.timeOfDay(seconds);
    }

    @Override
    public StyledText asStyledText() throws HostException {
        return new RemoteText(exchange, ask(CodeToParent.get_fm_data_as_fm_text, Answers.INT64));
    }

    @Override
    public Container asContainer() throws HostException {
        return new RemoteContainer(exchange, ask(CodeToParent.get_fm_data_as_fm_binary, Answers.INT64), false);
    }

    @Override
    public void setText(String text) throws HostException {
        call(CodeToParent.set_string_data, withToken().text(Checks.notNull(text, "text")), Exchange.NO_ANSWER);
    }

    @Override
    public void setNumber(long number) throws HostException {
        setText(Long.toString(number));
    }

    @Override
    public void setNumber(double number) throws HostException {
        if (Double.isNaN(number) || Double.isInfinite(number)) {
            throw new IllegalArgumentException("The host cannot hold the number " + number);
        }
        setText(BigDecimal.valueOf(number).stripTrailingZeros().toPlainString());
    }

    @Override
    public void setNumber(BigDecimal number) throws HostException {
        setText(Checks.notNull(number, "number").toPlainString());
    }

    /** The host would refuse a year outside its calendar silently and keep the old value. */
    @Override
    public void setTimestamp(LocalDateTime timestamp) throws HostException {
        Checks.notNull(timestamp, "timestamp");
        Checks.inRange(timestamp.getYear(), 1, MAX_HOST_YEAR, "year");
        Payload fields = withToken()
                .int32(timestamp.getYear())
                .int32(timestamp.getMonthValue())
                .int32(timestamp.getDayOfMonth())
                .int32(timestamp.getHour())
                .int32(timestamp.getMinute())
                .int32(timestamp.getSecond());
        call(CodeToParent.set_date_time_data, fields, Exchange.NO_ANSWER);
    }

    @Override
    public void setStyledText(StyledText text) throws HostException {
        RemoteText source = Checks.sameCall(text, RemoteText.class, this);
        call(CodeToParent.write_fm_text_to_fm_data, source.withToken().int64(token), Exchange.NO_ANSWER);
    }

    @Override
    public void setContainer(Container container) throws HostException {
        RemoteContainer source = Checks.sameCall(container, RemoteContainer.class, this);
        call(CodeToParent.write_fm_binary_to_fm_data, withToken().int64(source.token), Exchange.NO_ANSWER);
    }

    private long seconds() throws HostException {
        return ask(CodeToParent.get_date_time_data_as_seconds, Answers.INT64);
    }

    static BigDecimal parseDecimal(String text) {
        String trimmed = text.trim();
        try {
            return new BigDecimal(trimmed);
        } catch (NumberFormatException e) {
            NumberFormatException described = new NumberFormatException("Not a decimal number: \"" + text + "\"");
            described.initCause(e);
            throw described;
        }
    }
}
