package com.corvane.ambrix.child;

import com.corvane.ambrix.api.FunctionDeclaration;
import com.corvane.ambrix.api.HostInfo;
import com.corvane.ambrix.api.PluginFunction;
import com.corvane.ambrix.api.Registrar;
import com.corvane.ambrix.api.ScriptStepDeclaration;

import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * Collects declarations. Functions and script steps share one id space: the host calls both
 * through the same entry with nothing but the id, so two entries with one id could not be told
 * apart.
 */
final class RegistrarImpl implements Registrar {
    private final HostInfo hostInfo;
    private final Map<Integer, DeclaredEntry> entries = new LinkedHashMap<>();

    RegistrarImpl(HostInfo hostInfo) {
        this.hostInfo = hostInfo;
    }

    @Override
    public HostInfo hostInfo() {
        return hostInfo;
    }

    @Override
    public FunctionDeclaration function(int id, String name, PluginFunction body) {
        return add(new FunctionEntry(checkId(id), checkName(name), Checks.notNull(body, "function body")));
    }

    @Override
    public ScriptStepDeclaration scriptStep(int id, String name, PluginFunction body) {
        return add(new ScriptStepEntry(checkId(id), checkName(name), Checks.notNull(body, "script step body")));
    }

    /** The declarations in the order they were made. */
    List<DeclaredEntry> entries() {
        return Collections.unmodifiableList(new ArrayList<>(entries.values()));
    }

    private <T extends DeclaredEntry> T add(T entry) {
        entries.put(entry.id, entry);
        return entry;
    }

    private int checkId(int id) {
        Checks.inRange(id, 0, Short.MAX_VALUE, "function id");
        DeclaredEntry existing = entries.get(id);
        if (existing != null) {
            throw new IllegalArgumentException("Id " + id + " is already used by \"" + existing.name + "\"");
        }
        return id;
    }

    private static String checkName(String name) {
        if (name == null || name.isEmpty()) {
            throw new IllegalArgumentException("A function or script step needs a name");
        }
        return name;
    }
}
