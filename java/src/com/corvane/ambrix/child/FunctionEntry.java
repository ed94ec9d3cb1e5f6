package com.corvane.ambrix.child;

import com.corvane.ambrix.api.FunctionDeclaration;
import com.corvane.ambrix.api.PluginFunction;

final class FunctionEntry extends DeclaredEntry implements FunctionDeclaration {
    /** Hosts from this API version on take a type-ahead description with each function. */
    static final int DESCRIPTION_API_VERSION = 56;

    private int minArguments;
    private int maxArguments;
    private String prototype;

    FunctionEntry(int id, String name, PluginFunction body) {
        super(id, name, body);
        prototype = name;
        flags = DEFAULT_FLAGS;
    }

    @Override
    boolean isScriptStep() {
        return false;
    }

    @Override
    CodeToParent registrationCode() {
        return CodeToParent.register_function;
    }

    @Override
    Payload registration(int apiVersion) {
        Payload payload = new Payload()
                .int16(id)
                .text(name)
                .text(prototype)
                .int32(minArguments)
                .int32(maxArguments)
                .int32(flags)
                .int32(timeoutSeconds)
                .bool(gui);
        if (apiVersion >= DESCRIPTION_API_VERSION) {
            payload.text(description);
        }
        return payload;
    }

    @Override
    public FunctionDeclaration arguments(int min, int max) {
        Checks.inRange(min, 0, Short.MAX_VALUE, "minimum argument count");
        if (max != ANY_NUMBER) {
            Checks.inRange(max, min, Short.MAX_VALUE, "maximum argument count");
        }
        minArguments = min;
        maxArguments = max;
        return this;
    }

    @Override
    public FunctionDeclaration prototype(String text) {
        prototype = Checks.notNull(text, "prototype");
        return this;
    }

    @Override
    public FunctionDeclaration description(String text) {
        setDescription(text);
        return this;
    }

    @Override
    public FunctionDeclaration flags(int value) {
        flags = value;
        return this;
    }

    @Override
    public FunctionDeclaration timeoutSeconds(int seconds) {
        setTimeout(seconds);
        return this;
    }

    @Override
    public FunctionDeclaration gui(boolean value) {
        gui = value;
        return this;
    }
}
