package com.quenlark.bench;

import com.quenlark.util.macos.macosx.diskarbclient.DiskArbitrationClient;
import com.quenlark.util.macos.macosx.diskarbclient.DiskArbitrationNativeRoutines;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;

/**
 * Disk event latency through a private daemon, on real loop devices: from a loop device's
 * attach to DiskAppearedComplete_callback, and from an unmount request to
 * UnmountPostNotification_callback. Medians of a few dozen samples. Needs root.
 */
final class DiskEventsBench implements Benchmark {
    private static final int SAMPLES = 30;

    @Override
    public String name() {
        return "disks";
    }

    @Override
    public void run() throws Exception {
        if (!"root".equals(System.getProperty("user.name")) || !Files.exists(Path.of("/dev/loop-control"))) {
            System.out.println("disks: skipped, needs root and loop devices");
            return;
        }
        Path dir = Files.createTempDirectory("diskarb-bench");
        Path socket = dir.resolve("daemon.sock");
        String libdir = System.getProperty("java.library.path").split(":")[0];
        Path bin = Path.of(libdir).getParent().resolve("bin");
        Process daemon = new ProcessBuilder(bin.resolve("diskarbitrationd").toString(), "--socket",
                socket.toString(), "--state-dir", dir.resolve("state").toString())
                .redirectErrorStream(true).redirectOutput(dir.resolve("daemon.log").toFile()).start();
        try {
            for (int i = 0; i < 200 && !Files.exists(socket); i++) {
                Thread.sleep(10);
            }
            // The client library finds the private daemon through the environment: a child JVM.
            ProcessBuilder child = new ProcessBuilder(System.getProperty("java.home") + "/bin/java",
                    "-Djava.library.path=" + System.getProperty("java.library.path"), "-cp",
                    System.getProperty("java.class.path"), DiskEventsBench.class.getName(),
                    dir.toString()).inheritIO();
            child.environment().put("QUINTAVER_DISKARB_SOCKET", socket.toString());
            child.start().waitFor();
        } finally {
            daemon.destroy();
            daemon.waitFor(10, TimeUnit.SECONDS);
        }
    }

    private static final class Client extends DiskArbitrationClient {
        final LinkedBlockingQueue<long[]> appeared = new LinkedBlockingQueue<>();
        final LinkedBlockingQueue<Long> unmounted = new LinkedBlockingQueue<>();
        final LinkedBlockingQueue<Long> gone = new LinkedBlockingQueue<>();
        final LinkedBlockingQueue<Long> ready = new LinkedBlockingQueue<>();

        @Override
        public void DiskAppearedComplete_callback(String disk, int flags, String mountpoint,
                String ioContent, String path, int seq, double time, String fsType, String fsName) {
            appeared.add(new long[] {System.nanoTime(), mountpoint.isEmpty() ? 0 : 1});
        }

        @Override
        public void UnmountPostNotification_callback(String disk, int errorCode, int pid) {
            unmounted.add(System.nanoTime());
        }

        @Override
        public void EjectPostNotification_callback(String disk, int errorCode, int pid) {
            gone.add(System.nanoTime());
        }

        @Override
        public void NotificationComplete_callback(int type) {
            ready.add(System.nanoTime());
        }
    }

    public static void main(String[] args) throws Exception {
        Path dir = Path.of(args[0]);
        Path image = dir.resolve("bench.img");
        try (var file = new java.io.RandomAccessFile(image.toFile(), "rw")) {
            file.setLength(16L << 20);
        }
        run("mkfs.ext4", "-q", image.toString());
        Client client = new Client();
        Thread loop = new Thread(() -> DiskArbitrationNativeRoutines.runDiskArbLoop(client));
        loop.setDaemon(true);
        loop.start();
        client.ready.poll(10, TimeUnit.SECONDS);
        client.appeared.clear();
        String diskarb = Path.of(System.getProperty("java.library.path").split(":")[0]).getParent()
                .resolve("bin/diskarb").toString();

        List<Double> fromLosetupStart = new ArrayList<>();
        List<Double> fromLosetupExit = new ArrayList<>();
        List<Double> unmountInProcess = new ArrayList<>();
        for (int i = 0; i < SAMPLES; i++) {
            long start = System.nanoTime();
            String id = run("losetup", "-f", "--show", image.toString()).trim().replace("/dev/", "");
            long exited = System.nanoTime();
            long[] event = client.appeared.poll(10, TimeUnit.SECONDS);
            fromLosetupStart.add((event[0] - start) / 1e6);
            fromLosetupExit.add(Math.max(0, event[0] - exited) / 1e6);

            if (DiskArbitrationNativeRoutines.DiskArbRequestMount_auto(id) != 0) {
                throw new IOException("mount of " + id + " failed");
            }
            client.appeared.poll(10, TimeUnit.SECONDS);
            // The unmount request goes out from a tool process; its own start-up is timed
            // separately below and taken off.
            long before = System.nanoTime();
            Process tool = new ProcessBuilder(diskarb, "unmount", id).start();
            Long post = client.unmounted.poll(10, TimeUnit.SECONDS);
            tool.waitFor();
            unmountInProcess.add((post - before) / 1e6);
            run("losetup", "-d", "/dev/" + id);
            client.gone.poll(10, TimeUnit.SECONDS);
        }
        List<Double> toolStartup = new ArrayList<>();
        for (int i = 0; i < SAMPLES; i++) {
            long before = System.nanoTime();
            new ProcessBuilder(diskarb, "status").start().waitFor();
            toolStartup.add((System.nanoTime() - before) / 1e6);
        }
        System.out.println();
        System.out.println("disk events through the daemon, " + SAMPLES + " samples, median milliseconds");
        System.out.printf("  %-60s %8.2f%n", "losetup start -> DiskAppearedComplete_callback", median(fromLosetupStart));
        System.out.printf("  %-60s %8.2f%n", "losetup exit  -> DiskAppearedComplete_callback (0 if before)", median(fromLosetupExit));
        System.out.printf("  %-60s %8.2f%n", "diskarb unmount start -> UnmountPostNotification_callback", median(unmountInProcess));
        System.out.printf("  %-60s %8.2f%n", "for comparison: one diskarb status run (start-up, one round trip)", median(toolStartup));
        Files.deleteIfExists(image);
    }

    private static double median(List<Double> values) {
        List<Double> sorted = new ArrayList<>(values);
        Collections.sort(sorted);
        return sorted.get(sorted.size() / 2);
    }

    private static String run(String... command) throws IOException, InterruptedException {
        Process p = new ProcessBuilder(command).redirectErrorStream(true).start();
        String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        if (p.waitFor() != 0) {
            throw new IOException(String.join(" ", command) + ": " + out);
        }
        return out;
    }
}
