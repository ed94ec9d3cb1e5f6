package com.corvane.ambrix.child;

import com.corvane.ambrix.api.PluginFunction;
import com.corvane.ambrix.api.ScriptStepDeclaration;

final class ScriptStepEntry extends DeclaredEntry implements ScriptStepDeclaration {
    private String definition = "";

    ScriptStepEntry(int id, String name, PluginFunction body) {
        super(id, name, body);
    }

    @Override
    boolean isScriptStep() {
        return true;
    }

    @Override
    CodeToParent registrationCode() {
        return CodeToParent.register_script_step;
    }

    /** Script steps carry their description with every API version. */
    @Override
    Payload registration(int apiVersion) {
        return new Payload()
                .int16(id)
                .text(name)
                .text(definition)
                .int32(flags)
                .int32(timeoutSeconds)
                .bool(gui)
                .text(description);
    }

    @Override
    public ScriptStepDeclaration definition(String xml) {
        definition = Checks.notNull(xml, "definition");
        return this;
    }

    @Override
    public ScriptStepDeclaration description(String text) {
        setDescription(text);
        return this;
    }

    @Override
    public ScriptStepDeclaration flags(int value) {
        flags = value;
        return this;
    }

    @Override
    public ScriptStepDeclaration timeoutSeconds(int seconds) {
        setTimeout(seconds);
        return this;
    }

    @Override
    public ScriptStepDeclaration gui(boolean value) {
        gui = value;
        return this;
    }
}
