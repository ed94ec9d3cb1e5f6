package com.corvane.ambrix.child;

import com.corvane.ambrix.api.ContainerBuilder;
import com.corvane.ambrix.api.ContainerWriter;
import com.corvane.ambrix.api.HostException;

/**
 * A container written in pieces. The parent keeps one streaming context per thread and appends
 * to the newest, so a second open writer in the same exchange would write into the wrong
 * container: the exchange allows one at a time.
 */
final class RemoteContainerWriter implements ContainerWriter {
    private final Exchange exchange;
    private long token;
    private boolean finished;

    private RemoteContainerWriter(Exchange exchange) {
        this.exchange = exchange;
    }

    static RemoteContainerWriter begin(Exchange exchange, String streamType, String fileName) throws HostException {
        Checks.streamType(streamType);
        Checks.notNull(fileName, "file name");
        RemoteContainerWriter writer = new RemoteContainerWriter(exchange);
        exchange.beginIncrementalContainer(writer);
        try {
            writer.token = exchange.call(CodeToParent.create_fm_binary_with_context,
                    new Payload().text(streamType).text(fileName), Answers.INT64);
            return writer;
        } catch (HostException | RuntimeException e) {
            exchange.endIncrementalContainer(writer);
            throw e;
        }
    }

    @Override
    public void append(byte[] data) throws HostException {
        append(Checks.notNull(data, "data"), 0, data.length);
    }

    @Override
    public synchronized void append(byte[] data, int offset, int length) throws HostException {
        Checks.notNull(data, "data");
        if (offset < 0 || length < 0 || offset > data.length - length) {
            throw new IndexOutOfBoundsException("offset " + offset + ", length " + length + " of " + data.length);
        }
        checkOpen();
        exchange.call(CodeToParent.append_fm_binary_with_context,
                new Payload().int64(token).int32(length).raw(data, offset, length), Exchange.NO_ANSWER);
    }

    @Override
    public synchronized ContainerBuilder finish() throws HostException {
        checkOpen();
        exchange.call(CodeToParent.close_fm_binary_with_context, new Payload().int64(token), Exchange.NO_ANSWER);
        finished = true;
        exchange.endIncrementalContainer(this);
        return new RemoteContainer(exchange, token, true);
    }

    private void checkOpen() {
        if (finished) {
            throw new IllegalStateException("The container is finished already");
        }
    }
}
