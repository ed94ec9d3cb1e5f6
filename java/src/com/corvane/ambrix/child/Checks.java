package com.corvane.ambrix.child;

import com.corvane.ambrix.api.CallEndedException;

/** Argument checks shared by the handles: invalid values are refused here, before the host sees them. */
final class Checks {
    private Checks() {
    }

    static int inRange(int value, int min, int max, String what) {
        if (value < min || value > max) {
            throw new IllegalArgumentException(what + " must lie in " + min + ".." + max + ", not " + value);
        }
        return value;
    }

    static <T> T notNull(T value, String what) {
        if (value == null) {
            throw new NullPointerException(what + " must not be null");
        }
        return value;
    }

    /** A stream type: the host knows exactly four characters. */
    static String streamType(String type) {
        notNull(type, "stream type");
        boolean printableAscii = true;
        for (int i = 0; i < type.length(); i++) {
            char c = type.charAt(i);
            printableAscii &= c >= 0x20 && c < 0x7F;
        }
        if (type.length() != 4 || !printableAscii) {
            throw new IllegalArgumentException("A stream type is four printable ASCII characters, not \"" + type + "\"");
        }
        return type;
    }

    /** Host handles carry tokens of one call; another call's token would name a released object. */
    static <T extends RemoteObject> T sameCall(Object handle, Class<T> type, RemoteObject owner)
            throws CallEndedException {
        notNull(handle, "handle");
        if (!type.isInstance(handle)) {
            throw new IllegalArgumentException("Not a handle made by this plug-in runtime: " + handle.getClass().getName());
        }
        T other = type.cast(handle);
        if (other.exchange != owner.exchange) {
            other.exchange.checkOpen();
            throw new CallEndedException("The handle belongs to another call");
        }
        return other;
    }
}
