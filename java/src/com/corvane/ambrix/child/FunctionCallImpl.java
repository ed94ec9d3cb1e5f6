package com.corvane.ambrix.child;

import com.corvane.ambrix.api.FunctionCall;
import com.corvane.ambrix.api.Host;
import com.corvane.ambrix.api.Result;
import com.corvane.ambrix.api.Value;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

final class FunctionCallImpl implements FunctionCall {
    private final DeclaredEntry entry;
    private final List<Value> parameters;
    private final RemoteValue result;
    private final Host host;
    private final boolean unsafeCalls;
    private final Exchange exchange;

    FunctionCallImpl(Exchange exchange, DeclaredEntry entry, FunctionCommand command, Host host) {
        this.exchange = exchange;
        this.entry = entry;
        List<Value> values = new ArrayList<>(command.parameterTokens.length);
        for (long token : command.parameterTokens) {
            values.add(new RemoteValue(exchange, token));
        }
        this.parameters = Collections.unmodifiableList(values);
        this.result = new RemoteValue(exchange, command.resultToken);
        this.host = host;
        this.unsafeCalls = command.unsafeCalls;
    }

    @Override
    public int functionId() {
        return entry.id;
    }

    @Override
    public String functionName() {
        return entry.name;
    }

    @Override
    public boolean isScriptStep() {
        return entry.isScriptStep();
    }

    @Override
    public int parameterCount() {
        return parameters.size();
    }

    @Override
    public Value parameter(int index) {
        return parameters.get(index);
    }

    @Override
    public List<Value> parameters() {
        return parameters;
    }

    @Override
    public Result result() {
        return result;
    }

    @Override
    public Host host() {
        return host;
    }

    @Override
    public boolean unsafeCallsAllowed() {
        return unsafeCalls;
    }

    @Override
    public long sessionId() {
        return exchange.sessionId;
    }

    @Override
    public long fileId() {
        return exchange.fileId;
    }
}
