package com.corvane.ambrix.child;

import com.corvane.ambrix.api.CharStyle;
import com.corvane.ambrix.api.HostException;
import com.corvane.ambrix.api.StyledText;

/** A host text with styles. */
final class RemoteText extends RemoteObject implements StyledText {
    RemoteText(Exchange exchange, long token) {
        super(exchange, token);
    }

    @Override
    public int length() throws HostException {
        return ask(CodeToParent.get_text_length, Answers.INT32);
    }

    @Override
    public String text() throws HostException {
        int length = length();
        return length <= 0 ? "" : substring(0, length);
    }

    @Override
    public String substring(int offset, int count) throws HostException {
        Checks.inRange(offset, 0, Integer.MAX_VALUE, "offset");
        Checks.inRange(count, 0, WireInput.MAX_TEXT_BYTES / 2, "count");
        return call(CodeToParent.read_bytes_from_fm_text, withToken().int32(offset).int32(count), Answers.TEXT);
    }

    @Override
    public void append(String text) throws HostException {
        call(CodeToParent.append_bytes_to_fm_text, withToken().text(Checks.notNull(text, "text")), Exchange.NO_ANSWER);
    }

    @Override
    public void append(StyledText text) throws HostException {
        RemoteText other = Checks.sameCall(text, RemoteText.class, this);
        call(CodeToParent.append_text, withToken().int64(other.token), Exchange.NO_ANSWER);
    }

    @Override
    public void setStyle(CharStyle style, int start, int length) throws HostException {
        RemoteStyle remoteStyle = Checks.sameCall(style, RemoteStyle.class, this);
        Checks.inRange(start, 0, Integer.MAX_VALUE, "start");
        Checks.inRange(length, 0, Integer.MAX_VALUE, "length");
        call(CodeToParent.set_char_style, withToken().int64(remoteStyle.token).int64(start).int64(length),
                Exchange.NO_ANSWER);
    }

    @Override
    public CharStyle styleAt(int position) throws HostException {
        Checks.inRange(position, 0, Integer.MAX_VALUE, "position");
        return new RemoteStyle(exchange, call(CodeToParent.get_char_style, withToken().int64(position), Answers.INT64));
    }

    @Override
    public CharStyle defaultStyle() throws HostException {
        return new RemoteStyle(exchange, ask(CodeToParent.get_default_char_style, Answers.INT64));
    }
}
