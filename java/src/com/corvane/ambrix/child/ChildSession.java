package com.corvane.ambrix.child;

import com.corvane.ambrix.api.CallEndedException;
import com.corvane.ambrix.api.HostException;
import com.corvane.ambrix.api.HostInfo;
import com.corvane.ambrix.api.Plugin;
import com.corvane.ambrix.api.PluginFunction;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.util.ArrayList;
import java.util.Collections;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.ServiceLoader;
import java.util.SortedMap;
import java.util.concurrent.CancellationException;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.RejectedExecutionException;
import java.util.concurrent.Future;
import java.util.concurrent.ThreadFactory;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.TimeoutException;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.logging.Level;
import java.util.logging.Logger;

/**
 * The child's end of the connection with the bridge. One reader (the thread that calls
 * {@link #run()}) takes every frame from the parent: commands start an exchange on a worker
 * thread, answers to callbacks go to the exchange that waits for them. Exchanges of different
 * host threads run side by side; the thread id in each frame tells them apart.
 */
public final class ChildSession {
    /** Exit status after a {@code shutdown} command or the end of standard input. */
    public static final int EXIT_NORMAL = 0;
    /** Exit status when the stream from the parent is out of step or the pipes broke. */
    public static final int EXIT_BROKEN_STREAM = 2;
    /** Exit status when the parent process has died. */
    public static final int EXIT_PARENT_GONE = 3;

    /** Results of {@code init}: negative ones keep the host from enabling the plug-in. */
    static final int INIT_OK = 0;
    static final int INIT_NO_PLUGIN = -1;
    static final int INIT_PLUGIN_FAILED = -2;

    /** Error level of {@code on_error} messages, in the parent's scale (0 = severe). */
    static final int ERROR_LEVEL_SEVERE = 0;
    static final int MAX_ERROR_MESSAGE_CHARS = 16 * 1024;
    /** The quad char is four characters; anything longer is a stream out of step. */
    static final int MAX_QUAD_CHAR_BYTES = 64;
    /** The parent waits a second for the answer to {@code shutdown}; the hooks get half of it. */
    static final long SHUTDOWN_HOOK_MILLIS = 500;

    private static final Logger LOG = Logger.getLogger(ChildSession.class.getName());

    /** What ends the process; tests replace it. */
    public interface ExitHandler {
        void exit(int status);
    }

    /** Finds the plug-ins to load. */
    public interface PluginSource {
        List<Plugin> load();
    }

    private interface ExchangeBody {
        int run(Exchange exchange) throws CallEndedException;
    }

    private interface Hook {
        void run(Plugin plugin) throws Exception;
    }

    private final WireInput in;
    private final MessageWriter writer;
    private final PluginSource pluginSource;
    private final ExitHandler exitHandler;
    private final ExecutorService workers = Executors.newCachedThreadPool(new WorkerThreads());
    private final Map<Long, Exchange> exchanges = new HashMap<>();
    /** Session and file hooks not yet known to be done; shutdown lets them finish first. */
    private final List<Future<?>> pendingHooks = new ArrayList<>();
    private final AtomicBoolean exiting = new AtomicBoolean();
    private volatile InitCommand hostInfo;
    private volatile PluginRuntime runtime;
    private volatile SortedMap<String, String> manifest;

    /**
     * @param in the parent's frames (buffered by the caller)
     * @param out the protocol stream to the parent (buffered by the caller; flushed per message)
     */
    public ChildSession(InputStream in, OutputStream out, PluginSource pluginSource, ExitHandler exitHandler) {
        this.in = new WireInput(in);
        this.writer = new MessageWriter(out);
        this.pluginSource = pluginSource;
        this.exitHandler = exitHandler;
    }

    /** The plug-ins named in the class path's {@code META-INF/services} files. */
    public static PluginSource serviceLoader(ClassLoader loader) {
        return () -> {
            List<Plugin> plugins = new ArrayList<>();
            for (Plugin plugin : ServiceLoader.load(Plugin.class, loader)) {
                plugins.add(plugin);
            }
            return plugins;
        };
    }

    /** Serves the parent until it says shut down, its stream ends or breaks, or {@link #stop} is called. */
    public void run() {
        int status;
        try {
            status = serve();
        } catch (IOException e) {
            LOG.log(Level.SEVERE, "The stream from the host is broken; exiting", e);
            status = EXIT_BROKEN_STREAM;
        } catch (RuntimeException | Error e) {
            LOG.log(Level.SEVERE, "Unexpected failure while reading from the host; exiting", e);
            status = EXIT_BROKEN_STREAM;
        }
        stop(status);
    }

    /** Ends every exchange and the process (through the exit handler); only the first call counts. */
    public void stop(int status) {
        if (!exiting.compareAndSet(false, true)) {
            return;
        }
        synchronized (exchanges) {
            for (Exchange exchange : exchanges.values()) {
                exchange.connectionLost();
            }
            exchanges.clear();
        }
        workers.shutdownNow();
        exitHandler.exit(status);
    }

    HostInfo hostInfo() {
        return hostInfo;
    }

    /** Sends one message; a failed write means the parent is gone, which ends this process. */
    void send(long threadId, CodeToParent code, Payload payload) throws CallEndedException {
        try {
            writer.send(threadId, code, payload);
        } catch (IOException e) {
            LOG.log(Level.SEVERE, "Writing to the host failed; exiting", e);
            stop(EXIT_BROKEN_STREAM);
            throw new CallEndedException("The connection to the host is closed");
        }
    }

    SortedMap<String, String> manifestAttributes(Exchange exchange) throws CallEndedException {
        SortedMap<String, String> attributes = manifest;
        if (attributes == null) {
            InitCommand info = hostInfo;
            Payload path = new Payload().text(info == null ? "" : info.resourcePath());
            attributes = Collections.unmodifiableSortedMap(
                    exchange.call(CodeToParent.get_manifest_attributes, path, Answers.ATTRIBUTES));
            manifest = attributes;
        }
        return attributes;
    }

    private int serve() throws IOException {
        while (!exiting.get()) {
            int first = in.readByteOrEnd();
            if (first < 0) {
                LOG.info("The host closed this process's standard input; exiting");
                return EXIT_NORMAL;
            }
            long threadId = first;
            for (int i = 1; i < 8; i++) {
                threadId = (threadId << 8) | in.readUnsignedByte();
            }
            long sessionId = in.readInt64();
            long fileId = in.readInt64();
            short rawCode = in.readInt16();
            in.readText(MAX_QUAD_CHAR_BYTES);
            CodeToChild code = CodeToChild.of(rawCode);
            if (code == null) {
                throw new ProtocolException("Unknown command code " + rawCode);
            }
            if (LOG.isLoggable(Level.FINEST)) {
                LOG.finest("Received " + code + " for thread " + threadId);
            }
            Exchange exchange = code == CodeToChild.callback_result ? null
                    : new Exchange(this, threadId, sessionId, fileId);
            switch (code) {
                case callback_result:
                    deliverAnswer(threadId);
                    break;
                case init: {
                    InitCommand command = InitCommand.read(in);
                    in.readSeparator();
                    start(exchange, e -> initialise(e, command));
                    break;
                }
                case do_function: {
                    FunctionCommand command = FunctionCommand.read(in);
                    in.readSeparator();
                    start(exchange, e -> callFunction(e, command));
                    break;
                }
                case do_idle: {
                    int level = in.readUnsignedByte();
                    boolean unsafeCalls = in.readByte() != 0;
                    in.readSeparator();
                    start(exchange, e -> idle(e, level, unsafeCalls));
                    break;
                }
                case session_ended:
                    in.readSeparator();
                    abandonWaiting(threadId);
                    runHooks("session end", plugin -> plugin.sessionEnded(sessionId));
                    break;
                case file_shutdown:
                    in.readSeparator();
                    abandonWaiting(threadId);
                    runHooks("file close", plugin -> plugin.fileClosed(sessionId, fileId));
                    break;
                case shutdown:
                    in.readByte(); // the host's unsafe-calls flag; nothing left to use it for
                    in.readSeparator();
                    shutDown(exchange);
                    return EXIT_NORMAL;
                default:
                    in.readSeparator();
                    LOG.warning("Ignoring the command " + code + ", which this process does not serve");
                    break;
            }
        }
        return EXIT_NORMAL;
    }

    /** Hands a {@code callback_result} to the exchange that waits for it; it alone knows the layout. */
    private void deliverAnswer(long threadId) throws IOException {
        Exchange exchange;
        synchronized (exchanges) {
            exchange = exchanges.get(threadId);
        }
        Exchange.Pending<?> pending = exchange == null ? null : exchange.takePending();
        if (pending == null) {
            throw new ProtocolException("An answer arrived for thread " + threadId + ", which waits for none");
        }
        try {
            Object answer = pending.reader.read(in);
            in.readSeparator();
            pending.complete(answer);
        } catch (IOException | RuntimeException e) {
            pending.fail(new CallEndedException("The answer from the host could not be read"));
            throw e;
        }
    }

    private void start(Exchange exchange, ExchangeBody body) {
        register(exchange);
        try {
            workers.execute(() -> runExchange(exchange, body));
        } catch (RejectedExecutionException stopping) {
            exchange.connectionLost();
        }
    }

    /**
     * A new command on a thread id means the parent is done with that thread's previous exchange:
     * whatever still waits there would wait forever.
     */
    private void register(Exchange exchange) {
        Exchange previous;
        synchronized (exchanges) {
            previous = exchanges.put(exchange.threadId, exchange);
            if (previous != null) {
                previous.abandon();
            }
        }
        if (previous != null) {
            LOG.warning("The host abandoned the unfinished call on thread " + exchange.threadId);
        }
    }

    private void abandonWaiting(long threadId) {
        Exchange previous;
        synchronized (exchanges) {
            previous = exchanges.remove(threadId);
            if (previous != null) {
                previous.abandon();
            }
        }
        if (previous != null) {
            LOG.warning("The host abandoned the unfinished call on thread " + threadId);
        }
    }

    private void runExchange(Exchange exchange, ExchangeBody body) {
        try {
            finish(exchange, body.run(exchange));
        } catch (CallEndedException e) {
            LOG.fine("The call on thread " + exchange.threadId + " ended without an answer: " + e.getMessage());
        } catch (RuntimeException | Error e) {
            LOG.log(Level.SEVERE, "Unexpected failure in the call on thread " + exchange.threadId, e);
            try {
                finish(exchange, PluginFunction.GENERIC_ERROR);
            } catch (CallEndedException ended) {
                LOG.fine("The call on thread " + exchange.threadId + " ended without an answer");
            }
        }
    }

    /** Releases the exchange's host objects, then sends {@code finished}, unless the parent gave up on it. */
    private void finish(Exchange exchange, int result) throws CallEndedException {
        exchange.releaseHostObjects();
        synchronized (exchanges) {
            if (!exchange.markFinished()) {
                throw new CallEndedException("The host abandoned this call");
            }
            exchanges.remove(exchange.threadId, exchange);
        }
        send(exchange.threadId, CodeToParent.finished, new Payload().int32(result));
    }

    private int initialise(Exchange exchange, InitCommand command) throws CallEndedException {
        hostInfo = command;
        LOG.info("Starting for the host: " + command);
        PluginRuntime loaded = runtime;
        if (loaded == null) {
            try {
                loaded = loadPlugins(command);
            } catch (InitFailure failure) {
                LOG.log(Level.SEVERE, failure.getMessage(), failure.getCause());
                return failure.result;
            }
            // Published before the host learns of any function: it may call one at once.
            runtime = loaded;
        }
        for (DeclaredEntry entry : loaded.entries) {
            exchange.call(entry.registrationCode(), entry.registration(command.apiVersion()), Exchange.NO_ANSWER);
        }
        LOG.info("Registered " + loaded.entries.size() + " functions and script steps of "
                + loaded.plugins.size() + " plug-in(s)");
        return INIT_OK;
    }

    private PluginRuntime loadPlugins(HostInfo info) throws InitFailure {
        List<Plugin> plugins;
        try {
            plugins = pluginSource.load();
        } catch (Throwable t) {
            throw new InitFailure(INIT_PLUGIN_FAILED, "The plug-in could not be loaded", t);
        }
        if (plugins.isEmpty()) {
            throw new InitFailure(INIT_NO_PLUGIN,
                    "No plug-in found: the archive names none in META-INF/services/" + Plugin.class.getName(), null);
        }
        RegistrarImpl registrar = new RegistrarImpl(info);
        for (Plugin plugin : plugins) {
            try {
                plugin.register(registrar);
            } catch (Throwable t) {
                throw new InitFailure(INIT_PLUGIN_FAILED,
                        "The plug-in " + plugin.getClass().getName() + " failed to declare its functions", t);
            }
        }
        return new PluginRuntime(plugins, registrar.entries());
    }

    private int callFunction(Exchange exchange, FunctionCommand command) throws CallEndedException {
        PluginRuntime loaded = runtime;
        DeclaredEntry entry = loaded == null ? null : loaded.entry(command.functionId);
        if (entry == null) {
            String message = "No plug-in function or script step has the id " + command.functionId;
            LOG.warning(message);
            reportError(exchange, message);
            return PluginFunction.GENERIC_ERROR;
        }
        try {
            entry.body.call(new FunctionCallImpl(exchange, entry, command, new RemoteHost(exchange, this)));
            return 0;
        } catch (Throwable t) {
            exchange.checkOpen();
            LOG.log(Level.WARNING, "The plug-in function \"" + entry.name + "\" failed", t);
            reportError(exchange, t.toString());
            return resultCode(t);
        }
    }

    /** The host keeps the low 16 bits of a result: codes that would read as success become the generic error. */
    static int resultCode(Throwable failure) {
        if (failure instanceof HostException) {
            int code = ((HostException) failure).getErrorCode();
            if ((code & 0xFFFF) != 0) {
                return code;
            }
        }
        return PluginFunction.GENERIC_ERROR;
    }

    private void reportError(Exchange exchange, String message) throws CallEndedException {
        String text = message.length() > MAX_ERROR_MESSAGE_CHARS ? message.substring(0, MAX_ERROR_MESSAGE_CHARS) : message;
        exchange.call(CodeToParent.on_error, new Payload().text(text).int32(ERROR_LEVEL_SEVERE).bool(false),
                Exchange.NO_ANSWER);
    }

    private int idle(Exchange exchange, int level, boolean unsafeCalls) throws CallEndedException {
        PluginRuntime loaded = runtime;
        if (loaded == null) {
            return 0;
        }
        IdleEventImpl event = new IdleEventImpl(level, unsafeCalls, new RemoteHost(exchange, this));
        int result = 0;
        for (Plugin plugin : loaded.plugins) {
            try {
                plugin.idle(event);
            } catch (Throwable t) {
                exchange.checkOpen();
                LOG.log(Level.WARNING, "The idle hook of " + plugin.getClass().getName() + " failed", t);
                result = PluginFunction.GENERIC_ERROR;
            }
        }
        return result;
    }

    /** Hooks of events the parent does not wait for: no exchange, no host access. */
    private void runHooks(String event, Hook hook) {
        PluginRuntime loaded = runtime;
        if (loaded == null) {
            return;
        }
        try {
            Future<?> running = workers.submit(() -> {
                for (Plugin plugin : loaded.plugins) {
                    try {
                        hook.run(plugin);
                    } catch (Throwable t) {
                        LOG.log(Level.WARNING, "The " + event + " hook of " + plugin.getClass().getName() + " failed", t);
                    }
                }
            });
            synchronized (pendingHooks) {
                pendingHooks.removeIf(Future::isDone);
                pendingHooks.add(running);
            }
        } catch (RejectedExecutionException stopping) {
            LOG.fine("Not running the " + event + " hooks: the process is stopping");
        }
    }

    /** Answers at once after the hooks had their bounded time: the parent waits one second only. */
    private void shutDown(Exchange exchange) {
        register(exchange);
        PluginRuntime loaded = runtime;
        if (loaded != null) {
            Thread hooks = new Thread(() -> {
                // Session and file hooks the host asked for before shutting down run first.
                awaitPendingHooks(System.nanoTime() + TimeUnit.MILLISECONDS.toNanos(SHUTDOWN_HOOK_MILLIS));
                for (Plugin plugin : loaded.plugins) {
                    try {
                        plugin.shutdown();
                    } catch (Throwable t) {
                        LOG.log(Level.WARNING, "The shutdown hook of " + plugin.getClass().getName() + " failed", t);
                    }
                }
            }, "ambrix-shutdown");
            hooks.setDaemon(true);
            hooks.start();
            try {
                hooks.join(SHUTDOWN_HOOK_MILLIS);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
            if (hooks.isAlive()) {
                LOG.warning("The shutdown hooks did not return within " + SHUTDOWN_HOOK_MILLIS + " ms");
            }
        }
        try {
            finish(exchange, 0);
        } catch (CallEndedException e) {
            LOG.fine("The shutdown answer could not be sent: " + e.getMessage());
        }
        LOG.info("Shut down by the host");
    }

    private void awaitPendingHooks(long deadlineNanos) {
        List<Future<?>> pending;
        synchronized (pendingHooks) {
            pending = new ArrayList<>(pendingHooks);
        }
        for (Future<?> hook : pending) {
            try {
                hook.get(Math.max(0, deadlineNanos - System.nanoTime()), TimeUnit.NANOSECONDS);
            } catch (ExecutionException | CancellationException e) {
                // The hook logged its own failure.
            } catch (TimeoutException e) {
                return;
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                return;
            }
        }
    }

    private static final class InitFailure extends Exception {
        private static final long serialVersionUID = 1L;
        final int result;

        InitFailure(int result, String message, Throwable cause) {
            super(message, cause);
            this.result = result;
        }
    }

    private static final class WorkerThreads implements ThreadFactory {
        private final AtomicInteger count = new AtomicInteger();

        @Override
        public Thread newThread(Runnable task) {
            Thread thread = new Thread(task, "ambrix-call-" + count.incrementAndGet());
            thread.setDaemon(true);
            return thread;
        }
    }
}
