package com.corvane.ambrix.child;

import com.corvane.ambrix.api.CharStyle;
import com.corvane.ambrix.api.ContainerBuilder;
import com.corvane.ambrix.api.ContainerWriter;
import com.corvane.ambrix.api.Host;
import com.corvane.ambrix.api.HostException;
import com.corvane.ambrix.api.HostInfo;
import com.corvane.ambrix.api.ScriptControl;
import com.corvane.ambrix.api.SqlResult;
import com.corvane.ambrix.api.StyledText;
import com.corvane.ambrix.api.Value;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.SortedMap;

/** Host services within one exchange. */
final class RemoteHost implements Host {
    /** Host containers count bytes in 32 bits. */
    static final long MAX_CONTAINER_FILE_SIZE = 0xFFFFFFFFL;
    private static final long NO_PARAMETER = 0;

    private final Exchange exchange;
    private final ChildSession session;

    RemoteHost(Exchange exchange, ChildSession session) {
        this.exchange = exchange;
        this.session = session;
    }

    @Override
    public HostInfo info() {
        return session.hostInfo();
    }

    @Override
    public Value evaluate(String expression) throws HostException {
        Checks.notNull(expression, "expression");
        Answers.ErrorAndToken answer = exchange.call(CodeToParent.evaluate_expression,
                new Payload().text(expression), Answers.ERROR_AND_TOKEN);
        check(answer.error, "Evaluating \"" + expression + "\"");
        return new RemoteValue(exchange, answer.token);
    }

    @Override
    public SqlResult executeSql(String sql, String fileName, String... parameters) throws HostException {
        Payload payload = new Payload().text(Checks.notNull(sql, "sql")).text(Checks.notNull(fileName, "file name"));
        Answers.ErrorAndToken answer = exchange.call(CodeToParent.execute_sql_11, withParameters(payload, parameters),
                Answers.ERROR_AND_TOKEN);
        check(answer.error, "SQL \"" + sql + "\"");
        return new RemoteSqlResult(exchange, answer.token);
    }

    @Override
    public String executeSqlText(String sql, String fileName, char columnSeparator, char rowSeparator,
                                 String... parameters) throws HostException {
        Payload payload = new Payload()
                .text(Checks.notNull(sql, "sql"))
                .text(Checks.notNull(fileName, "file name"))
                .int16(columnSeparator)
                .int16(rowSeparator);
        Answers.ErrorAndToken answer = exchange.call(CodeToParent.execute_sql_13, withParameters(payload, parameters),
                Answers.ERROR_AND_TOKEN);
        check(answer.error, "SQL \"" + sql + "\"");
        return new RemoteValue(exchange, answer.token).asText();
    }

    @Override
    public void triggerScript(String fileName, String scriptName, ScriptControl control) throws HostException {
        triggerScript(fileName, scriptName, control, null);
    }

    @Override
    public void triggerScript(String fileName, String scriptName, ScriptControl control, String parameter)
            throws HostException {
        Checks.notNull(fileName, "file name");
        Checks.notNull(scriptName, "script name");
        Checks.notNull(control, "script control");
        long parameterToken = NO_PARAMETER;
        if (parameter != null) {
            parameterToken = exchange.call(CodeToParent.create_empty_fm_data, Payload.empty(), Answers.INT64);
            new RemoteValue(exchange, parameterToken).setText(parameter);
        }
        Payload payload = new Payload().text(fileName).text(scriptName).int32(control.code()).int64(parameterToken);
        short error = exchange.call(CodeToParent.trigger_script, payload, Answers.INT16);
        check(error, "Starting script \"" + scriptName + "\" of \"" + fileName + "\"");
    }

    @Override
    public SortedMap<String, String> manifestAttributes() throws HostException {
        return session.manifestAttributes(exchange);
    }

    @Override
    public StyledText newText(String text) throws HostException {
        Payload payload = new Payload().text(Checks.notNull(text, "text"));
        return new RemoteText(exchange, exchange.call(CodeToParent.create_fm_text, payload, Answers.INT64));
    }

    @Override
    public CharStyle newStyle() throws HostException {
        return new RemoteStyle(exchange, exchange.call(CodeToParent.create_char_style, Payload.empty(), Answers.INT64));
    }

    @Override
    public ContainerBuilder newContainer() throws HostException {
        long token = exchange.call(CodeToParent.create_fm_binary, Payload.empty(), Answers.INT64);
        return new RemoteContainer(exchange, token, true);
    }

    @Override
    public ContainerBuilder containerFromBytes(String fileName, byte[] data) throws HostException {
        Checks.notNull(data, "data");
        Payload payload = new Payload().text(Checks.notNull(fileName, "file name")).int32(data.length)
                .raw(data, 0, data.length);
        return new RemoteContainer(exchange,
                exchange.call(CodeToParent.create_fm_binary_from_bytes, payload, Answers.INT64), true);
    }

    /**
     * The host opens the file itself and fails the whole call when it cannot, and it keeps only
     * 32 bits of the length, so both are checked here first.
     */
    @Override
    public ContainerBuilder containerFromFile(Path file, String fileName) throws HostException, IOException {
        Checks.notNull(file, "file");
        Checks.notNull(fileName, "file name");
        Path absolute = file.toAbsolutePath();
        if (!Files.isRegularFile(absolute) || !Files.isReadable(absolute)) {
            throw new IOException("Not a readable file: " + absolute);
        }
        long size = Files.size(absolute);
        if (size > MAX_CONTAINER_FILE_SIZE) {
            throw new IOException("The host cannot hold a file of " + size + " bytes in a container: " + absolute);
        }
        Payload payload = new Payload().text(absolute.toString()).text(fileName).int64(size);
        return new RemoteContainer(exchange,
                exchange.call(CodeToParent.create_fm_binary_from_file, payload, Answers.INT64), true);
    }

    @Override
    public ContainerWriter beginContainer(String streamType, String fileName) throws HostException {
        return RemoteContainerWriter.begin(exchange, streamType, fileName);
    }

    private static Payload withParameters(Payload payload, String[] parameters) {
        String[] values = parameters == null ? new String[0] : parameters;
        payload.int32(values.length);
        for (String value : values) {
            payload.text(Checks.notNull(value, "SQL parameter"));
        }
        return payload;
    }

    private static void check(int error, String what) throws HostException {
        if (error != 0) {
            throw new HostException(error, what + " failed with host error " + error);
        }
    }
}
