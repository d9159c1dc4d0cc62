package com.quenlark.util.macos.macosx;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.file.Path;
import java.util.Enumeration;
import java.util.Set;
import java.util.TreeSet;
import java.util.jar.JarEntry;
import java.util.jar.JarFile;
import org.junit.jupiter.api.Test;

/**
 * The library exports exactly one symbol per native method of the Java side, under its JNI
 * name (with every '_' of a Java name written "_1"), and nothing else.
 */
class ExportedNativesTest {
    static String jniName(Method method) {
        String owner = method.getDeclaringClass().getName();
        return "Java_" + escape(owner).replace('.', '_') + "_" + escape(method.getName());
    }

    private static String escape(String name) {
        return name.replace("_", "_1");
    }

    @Test
    void everyNativeIsExportedUnderItsJniNameAndNothingElse() throws Exception {
        Set<String> expected = new TreeSet<>();
        for (Class<?> declaring : javaSideClasses()) {
            for (Method method : declaring.getDeclaredMethods()) {
                if (Modifier.isNative(method.getModifiers())) {
                    expected.add(jniName(method));
                }
            }
        }
        assertTrue(expected.contains("Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_lstat"));
        assertEquals(expected, exportedSymbols());
    }

    @Test
    void underscoresInJavaNamesAreEscaped() throws Exception {
        class Sample {
            @SuppressWarnings("unused")
            native void mach_port_deallocate(int port);
        }
        Method m = Sample.class.getDeclaredMethod("mach_port_deallocate", int.class);
        assertTrue(jniName(m).endsWith("_mach_1port_1deallocate"), jniName(m));
    }

    private static Set<Class<?>> javaSideClasses() throws IOException, ClassNotFoundException {
        Set<Class<?>> classes = new java.util.HashSet<>();
        String jar = null;
        for (String entry : System.getProperty("quintaver.classpath").split(":")) {
            if (entry.endsWith("/quintaver.jar")) {
                jar = entry;
            }
        }
        try (JarFile file = new JarFile(jar)) {
            for (Enumeration<JarEntry> e = file.entries(); e.hasMoreElements(); ) {
                String name = e.nextElement().getName();
                if (name.endsWith(".class") && !name.contains("$")) {
                    String className = name.substring(0, name.length() - 6).replace('/', '.');
                    classes.add(Class.forName(className, false, ExportedNativesTest.class.getClassLoader()));
                }
            }
        }
        return classes;
    }

    private static Set<String> exportedSymbols() throws IOException, InterruptedException {
        Path library = Path.of(System.getProperty("quintaver.libdir"), "libQuintaver.so");
        Process nm = new ProcessBuilder("nm", "-D", "--defined-only", library.toString())
                .redirectErrorStream(true).start();
        Set<String> symbols = new TreeSet<>();
        for (String line : new String(nm.getInputStream().readAllBytes()).split("\n")) {
            String[] parts = line.trim().split("\\s+");
            if (parts.length == 3 && (parts[1].equals("T") || parts[1].equals("W"))) {
                symbols.add(parts[2]);
            }
        }
        assertEquals(0, nm.waitFor());
        return symbols;
    }
}
