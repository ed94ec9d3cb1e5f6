package com.corvane.ambrix.child;

import com.corvane.ambrix.api.ContainerBuilder;
import com.corvane.ambrix.api.HostException;
import com.corvane.ambrix.api.PluginFunction;

/**
 * A host container. Containers read from a value belong to the host and are only read; the
 * mutators are open for the containers this plug-in made.
 */
final class RemoteContainer extends RemoteObject implements ContainerBuilder {
    /** Streams are read in pieces of this size so that neither side holds two copies of a large one. */
    static final int READ_CHUNK = 4 * 1024 * 1024;
    private static final int MAX_ARRAY = Integer.MAX_VALUE - 8;

    private final boolean mutable;

    RemoteContainer(Exchange exchange, long token, boolean mutable) {
        super(exchange, token);
        this.mutable = mutable;
    }

    @Override
    public int streamCount() throws HostException {
        return ask(CodeToParent.get_stream_count, Answers.INT32);
    }

    @Override
    public String streamType(int index) throws HostException {
        Checks.inRange(index, 0, Integer.MAX_VALUE, "stream index");
        return call(CodeToParent.get_stream_type, withToken().int32(index), Answers.TEXT);
    }

    @Override
    public int indexOf(String streamType) throws HostException {
        Checks.streamType(streamType);
        int count = streamCount();
        for (int i = 0; i < count; i++) {
            if (streamType.equals(streamType(i))) {
                return i;
            }
        }
        return -1;
    }

    @Override
    public long streamSize(int index) throws HostException {
        Checks.inRange(index, 0, Integer.MAX_VALUE, "stream index");
        return Integer.toUnsignedLong(call(CodeToParent.get_stream_size, withToken().int32(index), Answers.INT32));
    }

    @Override
    public long totalSize() throws HostException {
        return Integer.toUnsignedLong(ask(CodeToParent.get_stream_total_size, Answers.INT32));
    }

    @Override
    public byte[] readStream(int index, int offset, int length) throws HostException {
        Checks.inRange(index, 0, Integer.MAX_VALUE, "stream index");
        Checks.inRange(offset, 0, Integer.MAX_VALUE, "offset");
        Checks.inRange(length, 0, Integer.MAX_VALUE, "length");
        return call(CodeToParent.get_stream_data, withToken().int32(index).int32(offset).int32(length),
                Answers.bytes(length));
    }

    @Override
    public byte[] readStream(int index) throws HostException {
        long size = streamSize(index);
        if (size > MAX_ARRAY) {
            throw new HostException(PluginFunction.GENERIC_ERROR,
                    "Stream " + index + " holds " + size + " bytes, more than one array can; read it in parts");
        }
        byte[] data = new byte[(int) size];
        for (int offset = 0; offset < data.length; offset += READ_CHUNK) {
            int length = Math.min(READ_CHUNK, data.length - offset);
            System.arraycopy(readStream(index, offset, length), 0, data, offset, length);
        }
        return data;
    }

    @Override
    public String fileName() throws HostException {
        return ask(CodeToParent.get_stream_fnam, Answers.TEXT);
    }

    @Override
    public void addStream(String streamType, byte[] data) throws HostException {
        checkMutable();
        Checks.streamType(streamType);
        Checks.notNull(data, "data");
        call(CodeToParent.add_stream_data, withToken().text(streamType).int32(data.length).raw(data, 0, data.length),
                Exchange.NO_ANSWER);
    }

    @Override
    public void removeStream(String streamType) throws HostException {
        checkMutable();
        call(CodeToParent.remove_stream, withToken().text(Checks.streamType(streamType)), Exchange.NO_ANSWER);
    }

    @Override
    public void setFileName(String fileName) throws HostException {
        checkMutable();
        call(CodeToParent.add_stream_fnam, withToken().text(Checks.notNull(fileName, "file name")), Exchange.NO_ANSWER);
    }

    @Override
    public void setPictureSize(int width, int height) throws HostException {
        checkMutable();
        Payload payload = withToken()
                .int16(Checks.inRange(width, 0, Short.MAX_VALUE, "width"))
                .int16(Checks.inRange(height, 0, Short.MAX_VALUE, "height"));
        call(CodeToParent.add_stream_size, payload, Exchange.NO_ANSWER);
    }

    private void checkMutable() {
        if (!mutable) {
            throw new UnsupportedOperationException("This container belongs to the host and can only be read");
        }
    }
}
