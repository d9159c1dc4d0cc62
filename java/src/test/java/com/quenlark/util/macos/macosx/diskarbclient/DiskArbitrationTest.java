package com.quenlark.util.macos.macosx.diskarbclient;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * The disk arbitration loop in this JVM against a private daemon on real loop devices. The
 * client library finds the daemon through QUINTAVER_DISKARB_SOCKET, which the test run sets.
 */
class DiskArbitrationTest {
    static TestDaemon daemon;
    static RecordingClient client;
    static Thread loop;

    @BeforeAll
    static void startDaemonAndLoop() throws Exception {
        String socket = System.getenv("QUINTAVER_DISKARB_SOCKET");
        assumeTrue(socket != null, "needs QUINTAVER_DISKARB_SOCKET (set by ctest) for a private daemon");
        assumeTrue("root".equals(System.getProperty("user.name")),
                "needs root: the daemon reads uevents and mounts");
        Path socketPath = Path.of(socket);
        Files.createDirectories(socketPath.getParent());
        daemon = new TestDaemon(socketPath, socketPath.getParent().resolve("state"));
        client = new RecordingClient();
        loop = new Thread(() -> DiskArbitrationNativeRoutines.runDiskArbLoop(client), "disk-arbitration");
        loop.setDaemon(true);
        loop.start();
        // The start-up list ends with type 25; the client's exception on it is cleared.
        client.await("complete 25");
    }

    @AfterAll
    static void stopDaemon() throws Exception {
        if (daemon == null) {
            return;
        }
        daemon.close();
        assertEquals(0, daemon.exitValue(), "the daemon ends cleanly on SIGTERM");
        loop.join(10_000);
        assertFalse(loop.isAlive(), "runDiskArbLoop returns when the daemon's connection ends");
    }

    @Test
    void mountUnmountRefuseAndEjectALoopDevice(@TempDir Path dir) throws Exception {
        assumeTrue(LoopDevice.available(), "needs root and loop devices (/dev/loop-control)");
        try (LoopDevice disk = new LoopDevice(dir.resolve("disk.img"), "mkfs.ext4", "QVOL")) {
            String arrived = client.nextFor(disk.id);
            assertTrue(arrived != null && arrived.contains("mountpoint= fsType=ext4 fsName=QVOL"), arrived);
            assertTrue(arrived.contains("path=/devices/virtual/block/" + disk.id), arrived);

            assertEquals(0, DiskArbitrationNativeRoutines.DiskArbRequestMount_auto(disk.id));
            String mounted = client.nextFor(disk.id);
            String mountpoint = daemon.stateDirectory.resolve("disks").resolve(disk.id).toString();
            assertTrue(mounted != null && mounted.contains("mountpoint=" + mountpoint + " fsType=ext4"), mounted);
            assertTrue(mountedAt(mountpoint));

            // An unmount from another application: acknowledged at once by the library; Java
            // hears only the outcome.
            TestDaemon.Run unmount = daemon.tool("unmount", disk.id);
            assertEquals(0, unmount.status(), unmount.output());
            String post = client.nextFor(disk.id);
            assertTrue(post != null && post.startsWith("unmountPost " + disk.id + " error=0 pid="), post);
            assertFalse(mountedAt(mountpoint));

            // A second client that refuses makes the unmount fail; the disk stays mounted.
            assertEquals(0, DiskArbitrationNativeRoutines.DiskArbRequestMount_auto(disk.id));
            client.nextFor(disk.id);
            Process refuser = daemon.startTool("watch", "--refuse", "16");
            try {
                awaitLine(refuser, "complete 25");
                TestDaemon.Run refused = daemon.tool("unmount", disk.id);
                assertNotEquals(0, refused.status(), "a refused unmount is a failed call");
                String outcome = client.nextFor(disk.id);
                assertEquals("unmountPost " + disk.id + " error=16 pid=", outcome.replaceAll("pid=\\d+", "pid="));
                assertTrue(mountedAt(mountpoint), "the refused disk stays mounted");
            } finally {
                refuser.destroy();
                refuser.waitFor(10, TimeUnit.SECONDS);
            }

            // Eject of a mounted disk: every client is asked first (Java sees the eject request
            // before it goes ahead), then the disk is unmounted and detached.
            TestDaemon.Run eject = daemon.tool("eject", disk.id);
            assertEquals(0, eject.status(), eject.output());
            assertEquals("ejectPre " + disk.id, client.nextFor(disk.id));
            String unmounted = client.nextFor(disk.id);
            assertTrue(unmounted.startsWith("unmountPost " + disk.id + " error=0"), unmounted);
            String ejected = client.nextFor(disk.id);
            assertTrue(ejected.startsWith("ejectPost " + disk.id + " error=0"), ejected);
            assertFalse(disk.attached(), "an ejected loop device is detached");

            // Every notification this JVM received was answered by exactly one reply.
            TestDaemon.Run status = daemon.tool("status");
            String mine = status.output().lines()
                    .filter(l -> l.startsWith("client pid=" + ProcessHandle.current().pid() + " "))
                    .findFirst().orElseThrow();
            String[] counts = mine.replaceAll(".*notifications=(\\d+) replies=(\\d+).*", "$1 $2").split(" ");
            assertEquals(counts[0], counts[1], mine);
        }
    }

    @Test
    void aVfatDiskArrivesWithItsTypeAndName(@TempDir Path dir) throws Exception {
        assumeTrue(LoopDevice.available(), "needs root and loop devices (/dev/loop-control)");
        try (LoopDevice disk = new LoopDevice(dir.resolve("fat.img"), "mkfs.vfat", "QFAT")) {
            String arrived = client.nextFor(disk.id);
            assertTrue(arrived != null && arrived.contains("fsType=vfat fsName=QFAT"), arrived);
            // Detached behind the daemon's back: the disk is reported gone.
            LoopDevice.run("losetup", "-d", "/dev/" + disk.id);
            String gone = client.nextFor(disk.id);
            assertEquals("ejectPost " + disk.id + " error=0 pid=0", gone);
        }
    }

    @Test
    void requestMountOfNullIsRefused() {
        assertEquals(-1, DiskArbitrationNativeRoutines.DiskArbRequestMount_auto(null));
    }

    @Test
    void aClientLackingOneMethodGetsOneLineAndStillHearsEvents() throws Exception {
        assumeTrue(daemon != null, "needs the private daemon (root)");
        String output = child(daemon.socket.toString());
        assertEquals(List.of("Failed to retried method id for callbackMID"), failureLines(output), output);
        assertTrue(output.contains("complete 25"), output);
    }

    @Test
    void withoutADaemonTheLoopReportsAndReturns(@TempDir Path dir) throws Exception {
        String output = child(dir.resolve("nobody.sock").toString());
        assertTrue(output.contains("FAILURE: DiskArbStart() -> 1102\n"), output);
        assertTrue(output.contains("loop returned"), output);
    }

    static List<String> failureLines(String output) {
        return output.lines().filter(l -> l.startsWith("Failed to retried")).toList();
    }

    static boolean mountedAt(String mountpoint) throws IOException {
        return Files.readAllLines(Path.of("/proc/self/mountinfo")).stream()
                .anyMatch(l -> l.split(" ")[4].equals(mountpoint));
    }

    static void awaitLine(Process process, String line) throws IOException {
        var reader = new java.io.BufferedReader(
                new java.io.InputStreamReader(process.getInputStream(), StandardCharsets.UTF_8));
        for (String l; (l = reader.readLine()) != null; ) {
            if (l.equals(line)) {
                return;
            }
        }
        throw new AssertionError("the tool ended before printing " + line);
    }

    static String child(String socket) throws Exception {
        ProcessBuilder builder = new ProcessBuilder(System.getProperty("java.home") + "/bin/java",
                "-Xcheck:jni", "-Djava.library.path=" + System.getProperty("quintaver.libdir"),
                "-cp", System.getProperty("quintaver.classpath"), PartialClientMain.class.getName())
                .redirectErrorStream(true);
        builder.environment().put("QUINTAVER_DISKARB_SOCKET", socket);
        Process p = builder.start();
        String output = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(p.waitFor(30, TimeUnit.SECONDS));
        assertFalse(output.contains("WARNING in native method"), output);
        return output;
    }
}
