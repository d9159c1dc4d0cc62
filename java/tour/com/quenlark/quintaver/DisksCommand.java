package com.quenlark.quintaver;

import com.quenlark.util.macos.macosx.diskarbclient.DiskArbitrationClient;
import com.quenlark.util.macos.macosx.diskarbclient.DiskArbitrationNativeRoutines;
import java.time.Instant;
import java.util.List;
import java.util.concurrent.CountDownLatch;

/**
 * {@code quintaver disks}: disk events as they happen (Ctrl-C stops); {@code disks --list}
 * prints the disks present and ends; {@code disks mount ID} asks for a mount.
 */
final class DisksCommand implements Command {
    /** Seconds between 1970 and 2001, the epoch of the appearance times. */
    private static final long EPOCH_2001 = 978_307_200L;

    @Override
    public String name() {
        return "disks";
    }

    @Override
    public String usage() {
        return "[--list | mount ID]";
    }

    @Override
    public String summary() {
        return "disk arrival, mount, unmount and eject events as they happen (Ctrl-C stops)";
    }

    @Override
    public int run(List<String> args) throws Failure {
        if (args.size() == 2 && args.get(0).equals("mount")) {
            int status = DiskArbitrationNativeRoutines.DiskArbRequestMount_auto(args.get(1));
            if (status == -1) {
                throw new Failure("no disk arbitration daemon answers (start build/bin/diskarbitrationd)");
            }
            if (status != 0) {
                throw new Failure("mount " + args.get(1) + ": " + Errors.describe(status));
            }
            System.out.println("mounted " + args.get(1));
            return 0;
        }
        boolean listOnly = args.size() == 1 && args.get(0).equals("--list");
        if (!args.isEmpty() && !listOnly) {
            throw Failure.usage(this);
        }
        Printer printer = new Printer(listOnly);
        Thread loop = new Thread(() -> DiskArbitrationNativeRoutines.runDiskArbLoop(printer), "disks");
        loop.setDaemon(true);
        loop.start();
        try {
            while (loop.isAlive()) {
                if (listOnly && printer.listed.await(100, java.util.concurrent.TimeUnit.MILLISECONDS)) {
                    return 0;
                }
                loop.join(listOnly ? 1 : 0);
            }
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
        throw new Failure("the disk arbitration daemon is not running or went away "
                + "(start build/bin/diskarbitrationd)");
    }

    private static final class Printer extends DiskArbitrationClient {
        final CountDownLatch listed = new CountDownLatch(1);
        private final boolean listOnly;

        Printer(boolean listOnly) {
            this.listOnly = listOnly;
        }

        @Override
        public void DiskAppearedComplete_callback(String disk, int flags, String mountpoint,
                String ioContent, String deviceTreePath, int sequenceNumber, double timeAppeared,
                String fsType, String fsName) {
            Instant when = Instant.ofEpochMilli((long) ((timeAppeared + EPOCH_2001) * 1000));
            System.out.printf("  %-8s %-10s %-6s %-12s %-30s seen %s%n", "disk", disk,
                    fsType.isEmpty() ? "-" : fsType, fsName.isEmpty() ? "-" : "\"" + fsName + "\"",
                    mountpoint.isEmpty() ? "(not mounted)" : mountpoint, when);
        }

        @Override
        public void UnmountPostNotification_callback(String disk, int errorCode, int pid) {
            System.out.printf("  %-8s %-10s %s%n", "unmount", disk, outcome(errorCode, pid));
        }

        @Override
        public void EjectPreNotification_callback(String disk, int flags) {
            System.out.printf("  %-8s %-10s requested; no objection%n", "eject", disk);
        }

        @Override
        public void EjectPostNotification_callback(String disk, int errorCode, int pid) {
            System.out.printf("  %-8s %-10s %s%n", "eject", disk, outcome(errorCode, pid));
        }

        @Override
        public void NotificationComplete_callback(int messageType) {
            if (messageType == 25) {
                System.out.println(listOnly ? "" : "  -- the disks above were present; waiting for events (Ctrl-C stops)");
                listed.countDown();
            }
        }

        private static String outcome(int errorCode, int pid) {
            String who = pid == 0 ? "" : " (asked by process " + pid + ")";
            return (errorCode == 0 ? "done" : "failed: " + Errors.describe(errorCode)) + who;
        }
    }
}
