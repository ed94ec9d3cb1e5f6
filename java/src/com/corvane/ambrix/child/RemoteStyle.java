package com.corvane.ambrix.child;

import com.corvane.ambrix.api.CharStyle;
import com.corvane.ambrix.api.HostException;

/** A host character style. The host keeps 16-bit fields and 8-bit channels; wider values are refused, not cut. */
final class RemoteStyle extends RemoteObject implements CharStyle {
    private static final int MAX_FIELD = 0xFFFF;
    private static final int MAX_CHANNEL = 0xFF;

    RemoteStyle(Exchange exchange, long token) {
        super(exchange, token);
    }

    @Override
    public int face() throws HostException {
        return ask(CodeToParent.get_face, Answers.INT32);
    }

    @Override
    public void setFace(int face) throws HostException {
        set(CodeToParent.set_face, Checks.inRange(face, 0, MAX_FIELD, "face"));
    }

    @Override
    public int fontId() throws HostException {
        return ask(CodeToParent.get_font_id, Answers.INT32);
    }

    @Override
    public void setFontId(int fontId) throws HostException {
        set(CodeToParent.set_font_id, Checks.inRange(fontId, 0, MAX_FIELD, "font id"));
    }

    @Override
    public int size() throws HostException {
        return ask(CodeToParent.get_font_size, Answers.INT32);
    }

    @Override
    public void setSize(int size) throws HostException {
        set(CodeToParent.set_font_size, Checks.inRange(size, 0, MAX_FIELD, "size"));
    }

    @Override
    public void setColor(int red, int green, int blue, int alpha) throws HostException {
        Payload payload = withToken()
                .int32(Checks.inRange(red, 0, MAX_CHANNEL, "red"))
                .int32(Checks.inRange(green, 0, MAX_CHANNEL, "green"))
                .int32(Checks.inRange(blue, 0, MAX_CHANNEL, "blue"))
                .int32(Checks.inRange(alpha, 0, MAX_CHANNEL, "alpha"));
        call(CodeToParent.set_color, payload, Exchange.NO_ANSWER);
    }

    @Override
    public void setColor(int red, int green, int blue) throws HostException {
        setColor(red, green, blue, MAX_CHANNEL);
    }

    private void set(CodeToParent code, int value) throws HostException {
        call(code, withToken().int32(value), Exchange.NO_ANSWER);
    }
}
