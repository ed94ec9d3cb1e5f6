package com.corvane.ambrix.child;

import com.corvane.ambrix.api.CallEndedException;

/**
 * A host object named by a token: the object's address in the bridge process. A token is valid
 * only during its exchange (the parent releases the objects afterwards), so every handle is tied
 * to its exchange and refuses to send its token once the exchange has ended.
 */
abstract class RemoteObject {
    final Exchange exchange;
    final long token;

    RemoteObject(Exchange exchange, long token) {
        this.exchange = exchange;
        this.token = token;
    }

    /** A payload that starts with this object's token; most callbacks name their object first. */
    final Payload withToken() {
        return new Payload().int64(token);
    }

    /** A callback whose payload is this object's token alone. */
    final <T> T ask(CodeToParent code, Exchange.ReplyReader<T> reader) throws CallEndedException {
        return exchange.call(code, withToken(), reader);
    }

    final <T> T call(CodeToParent code, Payload payload, Exchange.ReplyReader<T> reader) throws CallEndedException {
        return exchange.call(code, payload, reader);
    }
}
