package com.quenlark.util.macos.macosx.diskarbclient;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.quenlark.testsupport.ChildJvm;
import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
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
        // A second loop while this one runs is turned away; this one goes on delivering.
        Thread second = new Thread(() -> DiskArbitrationNativeRoutines.runDiskArbLoop(new RecordingClient()));
        second.setDaemon(true);
        second.start();
        second.join(5_000);
        assertFalse(second.isAlive(), "a second runDiskArbLoop returns at once");

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
            long asked = System.nanoTime();
            TestDaemon.Run unmount = daemon.tool("unmount", disk.id);
            assertEquals(0, unmount.status(), unmount.output());
            assertTrue(System.nanoTime() - asked < TimeUnit.MILLISECONDS.toNanos(2_000),
                    "acknowledged at once, not after the daemon's 3 s wait");
            String post = client.nextFor(disk.id);
            assertTrue(post != null && post.startsWith("unmountPost " + disk.id + " error=0 pid="), post);
            assertFalse(mountedAt(mountpoint));

            // A second client that refuses makes the unmount fail; the disk stays mounted.
            assertEquals(0, DiskArbitrationNativeRoutines.DiskArbRequestMount_auto(disk.id));
            client.nextFor(disk.id);
            Process refuser = daemon.startTool("watch", "--refuse", "16");
            try {
                awaitLine(reader(refuser), "complete 25");
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
            // Still attached a while into the Java method: the answer waits for its return.
            assertEquals("ejectPre " + disk.id + " attached", client.nextFor(disk.id));
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
        String output = child(daemon.socket.toString(), "LacksDiskAppeared2");
        assertEquals(List.of("Failed to retried method id for callbackMID"), failureLines(output), output);
        assertTrue(output.contains("complete 25"), output);
        output = child(daemon.socket.toString(), "Full");
        assertEquals(List.of(), failureLines(output), output);
        assertTrue(output.contains("complete 25"), output);
    }

    @Test
    void aClientLackingADeliveredMethodIsSkippedForItAndStillAnswers(@TempDir Path dir) throws Exception {
        assumeTrue(LoopDevice.available(), "needs root and loop devices (/dev/loop-control)");
        try (LoopDevice disk = new LoopDevice(dir.resolve("lacks.img"), "mkfs.ext4", "QLACK")) {
            client.nextFor(disk.id); // the daemon knows it: the children's start-up lists hold it
            String output = child(daemon.socket.toString(), "LacksDiskAppearedComplete");
            assertEquals(List.of("Failed to retried method id for DiskAppearedComplete_callbackMID"),
                    failureLines(output), output);
            assertTrue(output.contains("complete 25"), output);

            // Without the Java method the eject request is still answered, at once.
            Process child = childProcess(daemon.socket.toString(), "LacksEjectPre");
            BufferedReader childOut = reader(child);
            String started;
            try {
                started = awaitLine(childOut, "complete 25");
                long asked = System.nanoTime();
                TestDaemon.Run eject = daemon.tool("eject", disk.id);
                assertEquals(0, eject.status(), eject.output());
                assertTrue(System.nanoTime() - asked < TimeUnit.MILLISECONDS.toNanos(2_000),
                        "answered at once, not after the daemon's 3 s wait");
                started += awaitLine(childOut, "ejectPost " + disk.id + " error=0");
                client.await("ejectPost " + disk.id); // this JVM's client heard it too
            } finally {
                child.getOutputStream().close();
            }
            output = started + childOutput(child, childOut);
            assertEquals(List.of("Failed to retried method id for EjectPreNotification_callbackMID"),
                    failureLines(output), output);
        }
    }

    @Test
    void withoutADaemonTheLoopReportsAndReturns(@TempDir Path dir) throws Exception {
        String output = child(dir.resolve("nobody.sock").toString(), "LacksDiskAppeared2");
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

    static BufferedReader reader(Process process) {
        return new BufferedReader(new InputStreamReader(process.getInputStream(), StandardCharsets.UTF_8));
    }

    /** The lines read up to and including line. */
    static String awaitLine(BufferedReader reader, String line) throws IOException {
        StringBuilder read = new StringBuilder();
        for (String l; (l = reader.readLine()) != null; ) {
            read.append(l).append('\n');
            if (l.equals(line)) {
                return read.toString();
            }
        }
        throw new AssertionError("the process ended before printing " + line + ":\n" + read);
    }

    /** A child JVM running the loop with the named client of PartialClientMain. */
    static Process childProcess(String socket, String clientName) throws IOException {
        ProcessBuilder builder = ChildJvm.builder(PartialClientMain.class, clientName);
        builder.environment().put("QUINTAVER_DISKARB_SOCKET", socket);
        return builder.start();
    }

    /** The rest of the child's output, once it has ended; it printed no JNI warning. */
    static String childOutput(Process p, BufferedReader out) throws Exception {
        StringBuilder read = new StringBuilder();
        for (String l; (l = out.readLine()) != null; ) {
            read.append(l).append('\n');
        }
        String output = read.toString();
        assertTrue(p.waitFor(30, TimeUnit.SECONDS));
        ChildJvm.assertNoJniWarnings(output);
        return output;
    }

    /** The whole output of a child whose loop ends as soon as the start-up list is told. */
    static String child(String socket, String clientName) throws Exception {
        Process p = childProcess(socket, clientName);
        p.getOutputStream().close();
        return childOutput(p, reader(p));
    }
}
