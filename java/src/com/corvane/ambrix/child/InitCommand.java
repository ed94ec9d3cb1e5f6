package com.corvane.ambrix.child;

import com.corvane.ambrix.api.HostInfo;

import java.io.IOException;

/** The body of the parent's {@code init} command: what the host told the bridge at start-up. */
final class InitCommand implements HostInfo {
    /** Versions and paths are short; more is a stream out of step. */
    private static final int MAX_INIT_TEXT_BYTES = 1024 * 1024;

    private final int apiVersion;
    private final String versionString;
    private final long instanceId;
    private final boolean unsafeCalls;
    private final String resourcePath;
    private final String logFilePath;
    private final int applicationType;
    private final int processId;

    InitCommand(int apiVersion, String versionString, long instanceId, boolean unsafeCalls, String resourcePath,
                String logFilePath, int applicationType, int processId) {
        this.apiVersion = apiVersion;
        this.versionString = versionString;
        this.instanceId = instanceId;
        this.unsafeCalls = unsafeCalls;
        this.resourcePath = resourcePath;
        this.logFilePath = logFilePath;
        this.applicationType = applicationType;
        this.processId = processId;
    }

    static InitCommand read(WireInput in) throws IOException {
        short apiVersion = in.readInt16();
        String versionString = in.readText(MAX_INIT_TEXT_BYTES);
        long instanceId = in.readInt64();
        boolean unsafeCalls = in.readByte() != 0;
        String resourcePath = in.readText(MAX_INIT_TEXT_BYTES);
        String logFilePath = in.readText(MAX_INIT_TEXT_BYTES);
        short applicationType = in.readInt16();
        int processId = in.readInt32();
        return new InitCommand(apiVersion, versionString, instanceId, unsafeCalls, resourcePath, logFilePath,
                applicationType, processId);
    }

    @Override
    public int apiVersion() {
        return apiVersion;
    }

    @Override
    public String versionString() {
        return versionString;
    }

    @Override
    public long instanceId() {
        return instanceId;
    }

    @Override
    public int applicationType() {
        return applicationType;
    }

    @Override
    public boolean isServer() {
        switch (applicationType) {
            case 3: // server
            case 4: // web engine
            case 7: // server-side script engine
            case 8: // web publishing engine
                return true;
            default:
                return false;
        }
    }

    @Override
    public boolean unsafeCallsAllowed() {
        return unsafeCalls;
    }

    @Override
    public String resourcePath() {
        return resourcePath;
    }

    @Override
    public String logFilePath() {
        return logFilePath;
    }

    @Override
    public int processId() {
        return processId;
    }

    @Override
    public String toString() {
        return "API version " + apiVersion + ", \"" + versionString + "\", application type " + applicationType
                + ", PID " + processId;
    }
}
