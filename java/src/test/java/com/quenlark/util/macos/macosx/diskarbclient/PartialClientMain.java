package com.quenlark.util.macos.macosx.diskarbclient;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

/**
 * Child JVM: runs the loop with a client that lacks DiskAppeared2_callback and prints
 * "complete N" when the start-up disks have been told, or returns when the loop does.
 */
public final class PartialClientMain {
    /** Every callback method but DiskAppeared2_callback. */
    public static final class PartialClient {
        final CountDownLatch complete = new CountDownLatch(1);
        volatile int type;

        public void DiskApproval_callback(String a, String b, String c, String d, int e, int f,
                int g, int h, String i) {}
        public void unrecognizedCallback(String a, int b, String c, String d, int e, int f, int g) {}
        public void UnknownFS_callback(String a, String b, String c, int d, int e, int f) {}
        public void DiskWillbeChecked_callback(String a, int b, String c) {}
        public void CallFailed_callback(String a, int b, int c) {}
        public void CallSucceeded_callback(String a, int b) {}
        public void reserveCallback(String a, int b, int c) {}
        public void DiskAppearedComplete_callback(String a, int b, String c, String d, String e,
                int f, double g, String h, String i) {}
        public void UnmountPreNotification_callback(String a, int b) {}
        public void DiskApprovedAck_callback(String a, int b) {}
        public void UnmountPostNotification_callback(String a, int b, int c) {}
        public void EjectPreNotification_callback(String a, int b) {}
        public void ClientDisconnected_callback() {}
        public void EjectPostNotification_callback(String a, int b, int c) {}
        public void DiskChanged_callback(String a, String b, String c, int d, int e) {}
        public void NotificationComplete_callback(int messageType) {
            type = messageType;
            complete.countDown();
        }
    }

    public static void main(String[] args) throws InterruptedException {
        PartialClient client = new PartialClient();
        Thread loop = new Thread(() -> DiskArbitrationNativeRoutines.runDiskArbLoop(client));
        loop.setDaemon(true);
        loop.start();
        while (loop.isAlive() && !client.complete.await(50, TimeUnit.MILLISECONDS)) {}
        System.out.flush();
        if (client.complete.getCount() == 0) {
            System.out.println("complete " + client.type);
        } else {
            System.out.println("loop returned");
        }
        System.out.flush();
    }
}
