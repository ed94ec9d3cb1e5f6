package com.corvane.ambrix.child;

import com.corvane.ambrix.api.Host;
import com.corvane.ambrix.api.IdleEvent;

final class IdleEventImpl implements IdleEvent {
    private final int level;
    private final boolean unsafeCalls;
    private final Host host;

    IdleEventImpl(int level, boolean unsafeCalls, Host host) {
        this.level = level;
        this.unsafeCalls = unsafeCalls;
        this.host = host;
    }

    @Override
    public int level() {
        return level;
    }

    @Override
    public boolean unsafeCallsAllowed() {
        return unsafeCalls;
    }

    @Override
    public Host host() {
        return host;
    }
}
