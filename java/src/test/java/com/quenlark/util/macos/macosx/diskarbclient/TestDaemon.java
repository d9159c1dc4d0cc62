package com.quenlark.util.macos.macosx.diskarbclient;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;

/** A private disk arbitration daemon and the diskarb tool, for the tests. */
final class TestDaemon implements AutoCloseable {
    final Path socket;
    final Path stateDirectory;
    private final Process process;

    TestDaemon(Path socket, Path stateDirectory) throws IOException {
        this.socket = socket;
        this.stateDirectory = stateDirectory;
        Files.deleteIfExists(socket);
        process = new ProcessBuilder(bin("diskarbitrationd"), "--socket", socket.toString(),
                "--state-dir", stateDirectory.toString(), "--ack-timeout", "3000")
                .redirectErrorStream(true).start();
        BufferedReader out = new BufferedReader(
                new InputStreamReader(process.getInputStream(), StandardCharsets.UTF_8));
        String line = out.readLine();
        if (line == null || !line.contains("listening")) {
            throw new IOException("daemon did not start: " + line);
        }
        Thread drain = new Thread(() -> {
            try {
                while (out.readLine() != null) {}
            } catch (IOException ignored) {}
        });
        drain.setDaemon(true);
        drain.start();
    }

    static String bin(String name) {
        return System.getProperty("quintaver.bindir") + "/" + name;
    }

    /** Runs diskarb with this daemon's socket; exit status and output. */
    record Run(int status, String output) {}

    Run tool(String... args) throws IOException, InterruptedException {
        List<String> command = new ArrayList<>(List.of(bin("diskarb")));
        command.addAll(List.of(args));
        ProcessBuilder builder = new ProcessBuilder(command).redirectErrorStream(true);
        builder.environment().put("QUINTAVER_DISKARB_SOCKET", socket.toString());
        Process p = builder.start();
        String output = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        p.waitFor(30, TimeUnit.SECONDS);
        return new Run(p.exitValue(), output);
    }

    Process startTool(String... args) throws IOException {
        List<String> command = new ArrayList<>(List.of(bin("diskarb")));
        command.addAll(List.of(args));
        ProcessBuilder builder = new ProcessBuilder(command).redirectErrorStream(true);
        builder.environment().put("QUINTAVER_DISKARB_SOCKET", socket.toString());
        return builder.start();
    }

    @Override
    public void close() {
        process.destroy(); // SIGTERM
        try {
            if (!process.waitFor(10, TimeUnit.SECONDS)) {
                process.destroyForcibly();
            }
        } catch (InterruptedException e) {
            process.destroyForcibly();
            Thread.currentThread().interrupt();
        }
    }

    int exitValue() {
        return process.exitValue();
    }
}
