package com.corvane.ambrix.failing;

import com.corvane.ambrix.api.Plugin;
import com.corvane.ambrix.api.Registrar;

/** A plug-in that refuses to start, so its child answers the host's init negatively. */
public final class FailingPlugin implements Plugin {
    @Override
    public void register(Registrar registrar) {
        throw new IllegalStateException("this plug-in refuses to start");
    }
}
