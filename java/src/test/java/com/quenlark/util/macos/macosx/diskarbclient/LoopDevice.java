package com.quenlark.util.macos.macosx.diskarbclient;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.concurrent.TimeUnit;

/** A small formatted image attached to a loop device; detached again on close. */
final class LoopDevice implements AutoCloseable {
    final Path image;
    final String id;

    LoopDevice(Path image, String mkfs, String label) throws IOException, InterruptedException {
        this.image = image;
        try (var file = new java.io.RandomAccessFile(image.toFile(), "rw")) {
            file.setLength(32L << 20); // sparse
        }
        String[] format = mkfs.equals("mkfs.vfat")
                ? new String[] {"mkfs.vfat", "-n", label, image.toString()}
                : new String[] {mkfs, "-q", "-L", label, image.toString()};
        run(format);
        id = run("losetup", "-f", "--show", image.toString()).trim().replace("/dev/", "");
    }

    static boolean available() {
        return "root".equals(System.getProperty("user.name")) && Files.exists(Path.of("/dev/loop-control"));
    }

    boolean attached() throws IOException, InterruptedException {
        return run("losetup", "-a").contains("/dev/" + id + ":");
    }

    static String run(String... command) throws IOException, InterruptedException {
        Process p = new ProcessBuilder(command).redirectErrorStream(true).start();
        String output = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        if (!p.waitFor(60, TimeUnit.SECONDS) || p.exitValue() != 0) {
            throw new IOException(String.join(" ", command) + " failed: " + output);
        }
        return output;
    }

    @Override
    public void close() throws IOException {
        try {
            cleanUp();
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    private void cleanUp() throws IOException, InterruptedException {
        // Whatever the test left: unmount, then detach.
        for (String line : Files.readAllLines(Path.of("/proc/self/mountinfo"))) {
            String[] fields = line.split(" ");
            if (fields.length > 9 && line.contains(" /dev/" + id + " ")) {
                new ProcessBuilder("umount", fields[4]).start().waitFor();
            }
        }
        if (attached()) {
            new ProcessBuilder("losetup", "-d", "/dev/" + id).start().waitFor();
        }
        Files.deleteIfExists(image);
    }
}
