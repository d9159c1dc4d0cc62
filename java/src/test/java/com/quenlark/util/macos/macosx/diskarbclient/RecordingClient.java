package com.quenlark.util.macos.macosx.diskarbclient;

import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;

/** Records every event as one line; its first NotificationComplete throws. */
class RecordingClient extends DiskArbitrationClient {
    final LinkedBlockingQueue<String> events = new LinkedBlockingQueue<>();
    private boolean thrown;

    @Override
    public void DiskAppearedComplete_callback(String diskIdentifier, int flags, String mountpoint,
            String ioContent, String deviceTreePath, int sequenceNumber, double timeAppeared,
            String fsType, String fsName) {
        events.add("appeared " + diskIdentifier + " mountpoint=" + mountpoint + " fsType=" + fsType
                + " fsName=" + fsName + " path=" + deviceTreePath + " flags=" + flags);
    }

    @Override
    public void UnmountPreNotification_callback(String diskIdentifier, int flags) {
        events.add("unmountPre " + diskIdentifier);
    }

    @Override
    public void UnmountPostNotification_callback(String diskIdentifier, int errorCode, int pid) {
        events.add("unmountPost " + diskIdentifier + " error=" + errorCode + " pid=" + pid);
    }

    @Override
    public void EjectPreNotification_callback(String diskIdentifier, int flags) {
        // Long enough for a daemon that had been answered already to detach the device.
        try {
            Thread.sleep(200);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
        boolean attached = java.nio.file.Files.exists(
                java.nio.file.Path.of("/sys/block/" + diskIdentifier + "/loop/backing_file"));
        events.add("ejectPre " + diskIdentifier + (attached ? " attached" : " detached"));
    }

    @Override
    public void EjectPostNotification_callback(String diskIdentifier, int errorCode, int pid) {
        events.add("ejectPost " + diskIdentifier + " error=" + errorCode + " pid=" + pid);
    }

    @Override
    public void NotificationComplete_callback(int messageType) {
        events.add("complete " + messageType);
        if (!thrown) {
            thrown = true;
            throw new IllegalStateException("thrown on purpose by the test client");
        }
    }

    /** The next event that starts with prefix, skipping others; fails after 10 s. */
    String await(String prefix) throws InterruptedException {
        long end = System.nanoTime() + TimeUnit.SECONDS.toNanos(10);
        for (;;) {
            long left = end - System.nanoTime();
            String event = left > 0 ? events.poll(left, TimeUnit.NANOSECONDS) : null;
            if (event == null) {
                throw new AssertionError("no event starting with '" + prefix + "'");
            }
            if (event.startsWith(prefix)) {
                return event;
            }
        }
    }

    /** The next event about this disk (events of other disks skipped); null after 10 s. */
    String nextFor(String disk) throws InterruptedException {
        long end = System.nanoTime() + TimeUnit.SECONDS.toNanos(10);
        for (;;) {
            long left = end - System.nanoTime();
            String event = left > 0 ? events.poll(left, TimeUnit.NANOSECONDS) : null;
            if (event == null || event.contains(" " + disk + " ") || event.endsWith(" " + disk)) {
                return event;
            }
        }
    }
}
