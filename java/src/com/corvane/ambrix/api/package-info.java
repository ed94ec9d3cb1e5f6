/**
 * The API for plug-in authors: write plain Java, ship one file.
 *
 * <h2>A plug-in in three steps</h2>
 * <ol>
 *   <li>Implement {@link com.corvane.ambrix.api.Plugin} and declare your functions and script
 *       steps in {@link com.corvane.ambrix.api.Plugin#register(Registrar)}:
 * <pre>{@code
 * public final class MyPlugin implements Plugin {
 *     public void register(Registrar registrar) {
 *         registrar.function(1, "MYPL_Upper", call -> {
 *             String text = call.parameter(0).asText();
 *             call.result().setText(text.toUpperCase(Locale.ROOT));
 *         }).arguments(1, 1).prototype("MYPL_Upper ( text )")
 *           .description("The text in capitals");
 *     }
 * }
 * }</pre>
 *   </li>
 *   <li>Name the class in {@code META-INF/services/com.corvane.ambrix.api.Plugin}: the plug-in is
 *       found with {@link java.util.ServiceLoader}.</li>
 *   <li>Give the archive's manifest the attributes {@code plugin-name} (shown by the host),
 *       {@code plugin-options} (the plug-in's four-character id, {@code 1} and six option flags
 *       of {@code Y} or {@code n}, e.g. {@code MYPL1nnYnnn}) and {@code plugin-help}, and package
 *       it together with the runtime classes.</li>
 * </ol>
 *
 * <h2>How calls work</h2>
 * Your code runs in a Java process of its own; every access to host data (a parameter, the
 * result, a text, a container, SQL ...) is a request to the host and may throw
 * {@link com.corvane.ambrix.api.HostException}. Handles such as {@link com.corvane.ambrix.api.Value},
 * {@link com.corvane.ambrix.api.StyledText} or {@link com.corvane.ambrix.api.Container} belong to the
 * call that produced them and stop working when that call returns; copy what you need into plain
 * Java values to keep it.
 *
 * <p>Functions may be called on several host threads at once, so keep shared state thread-safe.
 *
 * <p>Write diagnostics with {@link java.util.logging}: they end up in the plug-in's log file.
 * Standard output belongs to the connection with the host; what you print there is redirected to
 * the log as well.
 */
package com.corvane.ambrix.api;
