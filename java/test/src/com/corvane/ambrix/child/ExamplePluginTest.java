package com.corvane.ambrix.child;

import static com.corvane.ambrix.child.FakeParent.CLEAR_MEMORY;
import static com.corvane.ambrix.child.FakeParent.DO_FUNCTION;
import static com.corvane.ambrix.child.FakeParent.GET_FM_DATA_AS_STRING;
import static com.corvane.ambrix.child.FakeParent.ON_ERROR;
import static com.corvane.ambrix.child.FakeParent.SET_STRING_DATA;
import static com.corvane.ambrix.child.FakeParent.bytes;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.corvane.ambrix.example.ExamplePlugin;

import java.io.File;
import java.net.URL;
import java.net.URLClassLoader;
import java.util.List;
import java.util.ServiceLoader;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;

@Timeout(20)
class ExamplePluginTest {
    private static final File ARCHIVE = new File(System.getProperty("ambrix.exampleJar"));

    /** The archive is the child's whole class path: runtime, plug-in, service file and identity. */
    @Test
    void theArchiveIsACompletePlugin() throws Exception {
        try (JarFile jar = new JarFile(ARCHIVE)) {
            Attributes manifest = jar.getManifest().getMainAttributes();
            assertEquals("Ambrix Example", manifest.getValue("plugin-name"));
            assertTrue(manifest.getValue("plugin-options").matches("XMPL1[Yn]{6}"), manifest.getValue("plugin-options"));
            assertFalse(manifest.getValue("plugin-help").isBlank());
            assertNotNull(jar.getEntry("com/corvane/ambrix/PipeChild.class"));
        }
        try (URLClassLoader alone = new URLClassLoader(new URL[] {ARCHIVE.toURI().toURL()}, null)) {
            Class<?> pluginType = alone.loadClass("com.corvane.ambrix.api.Plugin");
            List<String> found = ServiceLoader.load(pluginType, alone).stream()
                    .map(provider -> provider.type().getName()).toList();
            assertEquals(List.of(ExamplePlugin.class.getName()), found);
        }
    }

    @Test
    void exampleFunctionsRun() throws Exception {
        try (ChildHarness child = new ChildHarness(new ExamplePlugin())) {
            child.initOk();
            assertEquals(14, child.registrations);
            FakeParent parent = child.parent;
            parent.command(5, DO_FUNCTION, ChildSessionTest.callBody(2, 900, 55));
            parent.serve(5, GET_FM_DATA_AS_STRING, bytes().int64(55), bytes().text("stra\u00dfe"));
            parent.serve(5, SET_STRING_DATA, bytes().int64(900).text("STRASSE"), bytes());
            parent.serve(5, CLEAR_MEMORY, bytes(), bytes());
            parent.expectFinished(5, 0);

            parent.command(6, DO_FUNCTION, ChildSessionTest.callBody(13, 900, 56));
            parent.serve(6, GET_FM_DATA_AS_STRING, bytes().int64(56), bytes().text("unexpected"));
            parent.serve(6, ON_ERROR, bytes()
                    .text("java.lang.IllegalStateException: XMPL_Fail was asked to fail unexpectedly")
                    .int32(0).int8(0), bytes());
            parent.expectFinished(6, 1);
        }
    }
}
