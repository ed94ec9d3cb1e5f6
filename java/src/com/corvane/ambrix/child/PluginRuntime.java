package com.corvane.ambrix.child;

import com.corvane.ambrix.api.Plugin;

import java.util.Collections;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

/** The loaded plug-ins and what they declared. Immutable once built, so any thread may read it. */
final class PluginRuntime {
    final List<Plugin> plugins;
    final List<DeclaredEntry> entries;
    private final Map<Integer, DeclaredEntry> byId = new HashMap<>();

    PluginRuntime(List<Plugin> plugins, List<DeclaredEntry> entries) {
        this.plugins = Collections.unmodifiableList(plugins);
        this.entries = entries;
        for (DeclaredEntry entry : entries) {
            byId.put(entry.id, entry);
        }
    }

    /** The function or script step with that id, or null. */
    DeclaredEntry entry(int id) {
        return byId.get(id);
    }
}
