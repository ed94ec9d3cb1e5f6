package com.corvane.ambrix.child;

import java.io.IOException;

/** The parent's stream holds something no valid frame can: it is out of step and cannot be trusted. */
final class ProtocolException extends IOException {
    private static final long serialVersionUID = 1L;

    ProtocolException(String message) {
        super(message);
    }
}
