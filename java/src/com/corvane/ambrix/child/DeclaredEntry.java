package com.corvane.ambrix.child;

import com.corvane.ambrix.api.PluginFunction;

/** A function or script step as the plug-in declared it, and its registration message. */
abstract class DeclaredEntry {
    final int id;
    final String name;
    final PluginFunction body;
    String description = "";
    int flags;
    int timeoutSeconds;
    boolean gui;

    DeclaredEntry(int id, String name, PluginFunction body) {
        this.id = id;
        this.name = name;
        this.body = body;
    }

    abstract boolean isScriptStep();

    abstract CodeToParent registrationCode();

    /** The registration callback's payload for a host of the given API version. */
    abstract Payload registration(int apiVersion);

    final void setDescription(String text) {
        description = Checks.notNull(text, "description");
    }

    final void setTimeout(int seconds) {
        timeoutSeconds = Checks.inRange(seconds, 0, Integer.MAX_VALUE, "timeout");
    }
}
