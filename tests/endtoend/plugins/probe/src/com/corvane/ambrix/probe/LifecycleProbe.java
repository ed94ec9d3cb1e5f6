package com.corvane.ambrix.probe;

import com.corvane.ambrix.api.IdleEvent;
import com.corvane.ambrix.api.Plugin;
import com.corvane.ambrix.api.Registrar;

import java.util.logging.Logger;

/**
 * Reports what reaches the plug-in: every hook writes one line to the log, and its functions tell
 * the process id the host knows for it and the ids a call carries.
 */
public final class LifecycleProbe implements Plugin {
    private static final Logger LOG = Logger.getLogger(LifecycleProbe.class.getName());

    @Override
    public void register(Registrar registrar) {
        registrar.function(1, "LFCY_ChildPid", call -> call.result().setNumber(call.host().info().processId()))
                .prototype("LFCY_ChildPid")
                .description("The process id of this plug-in's process");
        registrar.function(2, "LFCY_Ids", call -> call.result().setText(
                "session " + call.sessionId() + " file " + call.fileId()))
                .prototype("LFCY_Ids")
                .description("The session and file ids of the call");
        registrar.function(3, "LFCY_Echo", call -> call.result().setText(call.parameter(0).asText()))
                .arguments(1, 1)
                .prototype("LFCY_Echo ( text )")
                .description("The text itself");
        registrar.scriptStep(100, "LFCY Note", call -> LOG.info("probe: step"))
                .definition("<Step><Parameter type=\"calculation\" label=\"Note\"/></Step>")
                .description("Writes a line to the log");
    }

    @Override
    public void idle(IdleEvent event) {
        LOG.info("probe: idle level " + event.level());
    }

    @Override
    public void sessionEnded(long sessionId) {
        LOG.info("probe: session ended " + sessionId);
    }

    @Override
    public void fileClosed(long sessionId, long fileId) {
        LOG.info("probe: file closed " + sessionId + " " + fileId);
    }

    @Override
    public void shutdown() {
        LOG.info("probe: shutdown");
    }
}
