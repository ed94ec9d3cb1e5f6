package com.corvane.ambrix.api;

/** The kind of a host value, as the host reports it. */
public enum DataType {
    /** No value yet, or a kind this version does not know. */
    INVALID(0),
    TEXT(1),
    NUMBER(2),
    DATE(3),
    TIME(4),
    TIMESTAMP(5),
    /** A container: files, pictures and other binary data. */
    CONTAINER(6),
    BOOLEAN(7);

    private final int code;

    DataType(int code) {
        this.code = code;
    }

    /** The host's number for this kind. */
    public int code() {
        return code;
    }

    /** The kind for a host number; {@link #INVALID} for numbers this version does not know. */
    public static DataType fromCode(int code) {
        for (DataType type : values()) {
            if (type.code == code) {
                return type;
            }
        }
        return INVALID;
    }
}
