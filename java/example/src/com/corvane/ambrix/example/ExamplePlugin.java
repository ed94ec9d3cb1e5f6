package com.corvane.ambrix.example;

import com.corvane.ambrix.api.CharStyle;
import com.corvane.ambrix.api.Container;
import com.corvane.ambrix.api.ContainerBuilder;
import com.corvane.ambrix.api.ContainerWriter;
import com.corvane.ambrix.api.FunctionCall;
import com.corvane.ambrix.api.FunctionDeclaration;
import com.corvane.ambrix.api.HostException;
import com.corvane.ambrix.api.IdleEvent;
import com.corvane.ambrix.api.Plugin;
import com.corvane.ambrix.api.Registrar;
import com.corvane.ambrix.api.ScriptControl;
import com.corvane.ambrix.api.ScriptStepDeclaration;
import com.corvane.ambrix.api.SqlResult;
import com.corvane.ambrix.api.StyledText;
import com.corvane.ambrix.api.Value;

import java.math.BigDecimal;
import java.nio.charset.StandardCharsets;
import java.time.LocalDateTime;
import java.util.List;
import java.util.Locale;
import java.util.concurrent.atomic.AtomicLong;
import java.util.logging.Logger;

/**
 * The example plug-in: one function or step per kind of host service, each short enough to copy
 * from. Its id is "XMPL", so its functions are called XMPL_Something.
 */
public final class ExamplePlugin implements Plugin {
    private static final Logger LOG = Logger.getLogger(ExamplePlugin.class.getName());
    /** The argument that makes XMPL_Fail throw an unexpected exception instead of a host error. */
    private static final String UNEXPECTED = "unexpected";
    /** The host's error number for an invalid argument. */
    private static final int INVALID_ARGUMENT = 5;

    private final AtomicLong idleCalls = new AtomicLong();

    @Override
    public void register(Registrar registrar) {
        registrar.function(1, "XMPL_Version", ExamplePlugin::version)
                .prototype("XMPL_Version")
                .description("The plug-in's name and the host it runs in");
        registrar.function(2, "XMPL_Upper", ExamplePlugin::upper)
                .arguments(1, 1)
                .prototype("XMPL_Upper ( text )")
                .description("The text in capitals");
        registrar.function(3, "XMPL_Sum", ExamplePlugin::sum)
                .arguments(1, FunctionDeclaration.ANY_NUMBER)
                .prototype("XMPL_Sum ( number ; ... )")
                .description("The exact sum of decimal numbers");
        registrar.function(4, "XMPL_Power", ExamplePlugin::power)
                .arguments(2, 2)
                .prototype("XMPL_Power ( base ; exponent )")
                .description("base raised to a whole exponent");
        registrar.function(5, "XMPL_AddDays", ExamplePlugin::addDays)
                .arguments(2, 2)
                .prototype("XMPL_AddDays ( timestamp ; days )")
                .description("A timestamp moved by whole days");
        registrar.function(6, "XMPL_DescribeContainer", ExamplePlugin::describeContainer)
                .arguments(1, 1)
                .prototype("XMPL_DescribeContainer ( container )")
                .description("The file name and the streams of a container");
        registrar.function(7, "XMPL_MakeFile", ExamplePlugin::makeFile)
                .arguments(2, 3)
                .prototype("XMPL_MakeFile ( fileName ; text { ; copies } )")
                .description("A container holding a text file; with copies, written piece by piece");
        registrar.function(8, "XMPL_Highlight", ExamplePlugin::highlight)
                .arguments(2, 2)
                .prototype("XMPL_Highlight ( text ; word )")
                .description("The text with every occurrence of word in bold red");
        registrar.function(9, "XMPL_Query", ExamplePlugin::query)
                .arguments(1, FunctionDeclaration.ANY_NUMBER)
                .prototype("XMPL_Query ( sql { ; parameter ... } )")
                .description("SQL rows as lines of tab-separated values, read cell by cell");
        registrar.function(10, "XMPL_QueryText", ExamplePlugin::queryText)
                .arguments(1, FunctionDeclaration.ANY_NUMBER)
                .prototype("XMPL_QueryText ( sql { ; parameter ... } )")
                .description("SQL rows as one text, joined by the host");
        registrar.function(11, "XMPL_Evaluate", ExamplePlugin::evaluate)
                .arguments(1, 1)
                .prototype("XMPL_Evaluate ( expression )")
                .description("Evaluates a calculation and returns its text");
        registrar.function(12, "XMPL_RunScript", ExamplePlugin::runScript)
                .arguments(2, 3)
                .prototype("XMPL_RunScript ( fileName ; scriptName { ; parameter } )")
                .description("Starts a host script; returns 1 when it started");
        registrar.function(13, "XMPL_Fail", ExamplePlugin::fail)
                .arguments(1, 1)
                .prototype("XMPL_Fail ( errorNumber )")
                .description("Fails with a host error number, or with \"" + UNEXPECTED + "\" unexpectedly");
        ScriptStepDeclaration step = registrar.scriptStep(100, "XMPL Log Message", ExamplePlugin::logMessage)
                .definition("<Step><Parameter type=\"calculation\" label=\"Message\"/></Step>")
                .description("Writes a message to the plug-in's log");
        if (registrar.hostInfo().isServer()) {
            step.flags(ScriptStepDeclaration.ALLOWED_ON_SERVER);
        }
    }

    @Override
    public void idle(IdleEvent event) {
        idleCalls.incrementAndGet();
    }

    @Override
    public void sessionEnded(long sessionId) {
        LOG.info("Session " + sessionId + " ended after " + idleCalls.get() + " idle calls");
    }

    @Override
    public void fileClosed(long sessionId, long fileId) {
        LOG.fine("File " + fileId + " of session " + sessionId + " closed");
    }

    private static void version(FunctionCall call) throws HostException {
        String name = call.host().manifestAttributes().get("plugin-name");
        call.result().setText(name + " on " + call.host().info().versionString());
    }

    private static void upper(FunctionCall call) throws HostException {
        call.result().setText(call.parameter(0).asText().toUpperCase(Locale.ROOT));
    }

    private static void sum(FunctionCall call) throws HostException {
        BigDecimal total = BigDecimal.ZERO;
        for (Value value : call.parameters()) {
            total = total.add(value.asBigDecimal());
        }
        call.result().setNumber(total);
    }

    private static void power(FunctionCall call) throws HostException {
        double base = call.parameter(0).asDouble();
        long exponent = call.parameter(1).asLong();
        call.result().setNumber(Math.pow(base, exponent));
    }

    private static void addDays(FunctionCall call) throws HostException {
        LocalDateTime timestamp = call.parameter(0).asTimestamp();
        if (timestamp == null) {
            throw new HostException(INVALID_ARGUMENT, "XMPL_AddDays needs a date");
        }
        call.result().setTimestamp(timestamp.plusDays(call.parameter(1).asLong()));
    }

    private static void describeContainer(FunctionCall call) throws HostException {
        Container container = call.parameter(0).asContainer();
        StringBuilder text = new StringBuilder(container.fileName());
        int count = container.streamCount();
        for (int i = 0; i < count; i++) {
            text.append(text.length() == 0 ? "" : "\r")
                .append(container.streamType(i)).append(' ')
                .append(container.streamSize(i)).append(" bytes");
        }
        call.result().setText(text.toString());
    }

    private static void makeFile(FunctionCall call) throws HostException {
        String fileName = call.parameter(0).asText();
        byte[] content = call.parameter(1).asText().getBytes(StandardCharsets.UTF_8);
        ContainerBuilder container;
        if (call.parameterCount() < 3) {
            container = call.host().containerFromBytes(fileName, content);
        } else {
            // Large data goes out piece by piece instead of in one message.
            ContainerWriter writer = call.host().beginContainer("FILE", fileName);
            long copies = call.parameter(2).asLong();
            for (long i = 0; i < copies; i++) {
                writer.append(content);
            }
            container = writer.finish();
        }
        call.result().setContainer(container);
    }

    private static void highlight(FunctionCall call) throws HostException {
        String text = call.parameter(0).asText();
        String word = call.parameter(1).asText();
        StyledText styled = call.host().newText(text);
        if (!word.isEmpty()) {
            CharStyle style = call.host().newStyle();
            style.setFace(CharStyle.BOLD);
            style.setColor(200, 0, 0);
            for (int at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + word.length())) {
                styled.setStyle(style, at, word.length());
            }
        }
        call.result().setStyledText(styled);
    }

    private static void query(FunctionCall call) throws HostException {
        SqlResult rows = call.host().executeSql(call.parameter(0).asText(), "", textParameters(call, 1));
        StringBuilder text = new StringBuilder();
        for (List<Value> row : rows.rows()) {
            text.append(text.length() == 0 ? "" : "\r");
            for (int i = 0; i < row.size(); i++) {
                text.append(i == 0 ? "" : "\t").append(row.get(i).asText());
            }
        }
        call.result().setText(text.toString());
    }

    private static void queryText(FunctionCall call) throws HostException {
        call.result().setText(call.host().executeSqlText(call.parameter(0).asText(), "", '\t', '\r',
                textParameters(call, 1)));
    }

    private static void evaluate(FunctionCall call) throws HostException {
        call.result().setText(call.host().evaluate(call.parameter(0).asText()).asText());
    }

    private static void runScript(FunctionCall call) throws HostException {
        String parameter = call.parameterCount() > 2 ? call.parameter(2).asText() : null;
        call.host().triggerScript(call.parameter(0).asText(), call.parameter(1).asText(), ScriptControl.PAUSE,
                parameter);
        call.result().setNumber(1);
    }

    private static void fail(FunctionCall call) throws HostException {
        String how = call.parameter(0).asText().trim();
        if (UNEXPECTED.equals(how)) {
            throw new IllegalStateException("XMPL_Fail was asked to fail unexpectedly");
        }
        throw new HostException(Integer.parseInt(how), "XMPL_Fail was asked for error " + how);
    }

    private static void logMessage(FunctionCall call) throws HostException {
        String message = call.parameterCount() > 0 ? call.parameter(0).asText() : "";
        LOG.info("XMPL Log Message: " + message);
    }

    private static String[] textParameters(FunctionCall call, int first) throws HostException {
        String[] values = new String[Math.max(0, call.parameterCount() - first)];
        for (int i = 0; i < values.length; i++) {
            values[i] = call.parameter(first + i).asText();
        }
        return values;
    }
}
