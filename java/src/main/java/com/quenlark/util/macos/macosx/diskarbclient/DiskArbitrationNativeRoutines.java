package com.quenlark.util.macos.macosx.diskarbclient;

import com.quenlark.util.macos.macosx.QuintaverLibrary;

/**
 * Disk Arbitration: disk arrival, mount, unmount and eject events, and mount requests.
 *
 * <p>A disk's identifier is its block device name ({@code "loop3"}, {@code "sdb1"}). The
 * events come from the disk arbitration daemon ({@code diskarbitrationd}); the platform's
 * client library reaches it at its default socket, or at the path in the environment variable
 * {@code QUINTAVER_DISKARB_SOCKET}.
 */
public final class DiskArbitrationNativeRoutines {
    static {
        QuintaverLibrary.load();
    }

    private DiskArbitrationNativeRoutines() {}

    /**
     * Connects to Disk Arbitration and delivers its events to {@code client}'s callback methods
     * on the calling thread. Does not return while the connection lasts; returns at once (after
     * printing a line) when no daemon answers. One loop per process.
     */
    public static native void runDiskArbLoop(Object client);

    /**
     * Asks for the disk to be mounted and waits for the outcome: 0 on success, an error number
     * otherwise, -1 for a null identifier or when no daemon answers.
     */
    public static native int DiskArbRequestMount_auto(String diskID);
}
