package com.quenlark.util.macos.macosx.diskarbclient;

import java.io.IOException;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

/**
 * Child JVM: runs the loop with the client named by its argument, prints "complete N" when the
 * start-up disks have been told (or "loop returned" when the loop ends first), then keeps the
 * loop running until standard input ends. Each partial client lacks exactly one method; "Full"
 * is the library's own client class.
 */
public final class PartialClientMain {
    static final CountDownLatch complete = new CountDownLatch(1);
    static volatile int type;

    /** The library's client class, which declares all seventeen methods. */
    public static final class Full extends DiskArbitrationClient {
        @Override
        public void NotificationComplete_callback(int messageType) {
            type = messageType;
            complete.countDown();
        }
    }

    /** Every callback method but DiskAppeared2, DiskAppearedComplete and EjectPreNotification. */
    public static class Base {
        public void DiskApproval_callback(String a, String b, String c, String d, int e, int f,
                int g, int h, String i) {}
        public void unrecognizedCallback(String a, int b, String c, String d, int e, int f, int g) {}
        public void UnknownFS_callback(String a, String b, String c, int d, int e, int f) {}
        public void DiskWillbeChecked_callback(String a, int b, String c) {}
        public void CallFailed_callback(String a, int b, int c) {}
        public void CallSucceeded_callback(String a, int b) {}
        public void reserveCallback(String a, int b, int c) {}
        public void UnmountPreNotification_callback(String a, int b) {}
        public void DiskApprovedAck_callback(String a, int b) {}
        public void UnmountPostNotification_callback(String a, int b, int c) {}
        public void ClientDisconnected_callback() {}
        public void EjectPostNotification_callback(String disk, int error, int pid) {
            System.out.println("ejectPost " + disk + " error=" + error);
        }
        public void DiskChanged_callback(String a, String b, String c, int d, int e) {}
        public void NotificationComplete_callback(int messageType) {
            type = messageType;
            complete.countDown();
        }
    }

    public static final class LacksDiskAppeared2 extends Base {
        public void DiskAppearedComplete_callback(String a, int b, String c, String d, String e,
                int f, double g, String h, String i) {}
        public void EjectPreNotification_callback(String a, int b) {}
    }

    public static final class LacksDiskAppearedComplete extends Base {
        public void DiskAppeared2_callback(String a, int b, String c, String d, String e, int f) {}
        public void EjectPreNotification_callback(String a, int b) {}
    }

    public static final class LacksEjectPre extends Base {
        public void DiskAppeared2_callback(String a, int b, String c, String d, String e, int f) {}
        public void DiskAppearedComplete_callback(String a, int b, String c, String d, String e,
                int f, double g, String h, String i) {}
    }

    public static void main(String[] args) throws InterruptedException, IOException {
        Object client = switch (args.length > 0 ? args[0] : "") {
            case "LacksDiskAppearedComplete" -> new LacksDiskAppearedComplete();
            case "LacksEjectPre" -> new LacksEjectPre();
            case "Full" -> new Full();
            default -> new LacksDiskAppeared2();
        };
        Thread loop = new Thread(() -> DiskArbitrationNativeRoutines.runDiskArbLoop(client));
        loop.setDaemon(true);
        loop.start();
        while (loop.isAlive() && !complete.await(50, TimeUnit.MILLISECONDS)) {}
        System.out.flush();
        if (complete.getCount() == 0) {
            System.out.println("complete " + type);
        } else {
            System.out.println("loop returned");
        }
        System.out.flush();
        while (loop.isAlive() && System.in.read() != -1) {}
        System.out.flush();
    }
}
