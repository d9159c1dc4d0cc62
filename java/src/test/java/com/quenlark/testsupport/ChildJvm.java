package com.quenlark.testsupport;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;

/**
 * Runs a main class in a fresh JVM with the library and the test classpath, under
 * -Xcheck:jni, for tests whose subject acts on the whole process (identity setters). A JNI
 * warning in the child's output fails the test, as it does in the test's own JVM.
 */
public final class ChildJvm {
    /** What the child printed (stdout and stderr together) and how it ended. */
    public record Result(int exitCode, String output) {}

    /** What -Xcheck:jni prints when a native misuses JNI (the same lines java/run-junit fails on). */
    private static final java.util.regex.Pattern JNI_WARNING = java.util.regex.Pattern.compile(
            "WARNING in native method|FATAL ERROR in native method|JNI call made|Warning: JNI|WARNING: JNI local refs");

    private ChildJvm() {}

    public static String libraryDirectory() {
        return System.getProperty("quintaver.libdir");
    }

    public static String binDirectory() {
        return System.getProperty("quintaver.bindir");
    }

    /** A child JVM's command, ready to start (add environment or redirections first). */
    public static ProcessBuilder builder(Class<?> mainClass, String... args) {
        List<String> command = new ArrayList<>(List.of(
                System.getProperty("java.home") + "/bin/java", "-Xcheck:jni",
                "-Djava.library.path=" + libraryDirectory(),
                "-cp", System.getProperty("quintaver.classpath"), mainClass.getName()));
        command.addAll(List.of(args));
        return new ProcessBuilder(command).redirectErrorStream(true);
    }

    /** Runs the child to its end and gives back what it printed and its exit code. */
    public static Result run(Class<?> mainClass, String... args) throws IOException, InterruptedException {
        Process process = builder(mainClass, args).start();
        byte[] output = process.getInputStream().readAllBytes();
        if (!process.waitFor(60, TimeUnit.SECONDS)) {
            process.destroyForcibly();
            throw new IOException("child JVM did not finish: " + mainClass.getName());
        }
        String text = new String(output, StandardCharsets.UTF_8);
        assertNoJniWarnings(text);
        return new Result(process.exitValue(), text);
    }

    /** Fails when a child's output holds a line that -Xcheck:jni prints for a JNI misuse. */
    public static void assertNoJniWarnings(String output) {
        if (JNI_WARNING.matcher(output).find()) {
            throw new AssertionError("the child JVM printed JNI warnings:\n" + output);
        }
    }

    /** Whether this test JVM runs as root (needed for ownership and identity changes). */
    public static boolean isRoot() {
        return "root".equals(System.getProperty("user.name"));
    }
}
