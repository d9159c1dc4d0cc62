package com.quenlark.util.macos.macosx.diskarbclient;

/**
 * The receiver of Disk Arbitration's events: pass an instance to
 * {@link DiskArbitrationNativeRoutines#runDiskArbLoop(Object)} and override the callbacks of
 * interest. Every callback runs on the loop's thread, one at a time; the default bodies do
 * nothing.
 *
 * <p>The events delivered are {@link #DiskAppearedComplete_callback} (a disk appeared, or was
 * mounted), {@link #UnmountPostNotification_callback}, {@link #EjectPreNotification_callback}
 * (the eject is allowed once it returns), {@link #EjectPostNotification_callback} and
 * {@link #NotificationComplete_callback} (type 25: the disks present at start-up have all been
 * told). The other methods belong to the interface but receive no events.
 */
public class DiskArbitrationClient {
    /**
     * A disk is there, or has been mounted.
     *
     * @param diskIdentifier block device name
     * @param flags read-only (0x1), ejectable (0x2), whole disk (0x4), has partitions (0x20),
     *     no recognised contents (0x100)
     * @param mountpoint where it is mounted, "" when it is not
     * @param ioContent partition type of a partition, or partition scheme ("dos", "gpt")
     * @param deviceTreePath kernel device path, e.g. "/devices/virtual/block/loop3"
     * @param sequenceNumber the order in which the daemon saw the disks appear
     * @param timeAppeared when it appeared, in seconds since 1 January 2001 (UTC)
     * @param fsType file system type ("ext4", "vfat"), "" for none
     * @param fsName volume name, "" for none
     */
    public void DiskAppearedComplete_callback(String diskIdentifier, int flags, String mountpoint,
            String ioContent, String deviceTreePath, int sequenceNumber, double timeAppeared,
            String fsType, String fsName) {}

    /** An unmount was done (errorCode 0) or failed or was refused; pid: who asked (0: not known). */
    public void UnmountPostNotification_callback(String diskIdentifier, int errorCode, int pid) {}

    /** The disk is about to be ejected; the eject goes on when this returns. */
    public void EjectPreNotification_callback(String diskIdentifier, int flags) {}

    /** An eject was done (errorCode 0) or failed or was refused, or the disk went away (pid 0). */
    public void EjectPostNotification_callback(String diskIdentifier, int errorCode, int pid) {}

    /** A batch of notifications is complete; 25: the disks present at start-up. */
    public void NotificationComplete_callback(int messageType) {}

    public void DiskApproval_callback(String diskIdentifier, String volumeName, String ioContent,
            String deviceTreePath, int flags, int isWritable, int isRemovable, int isWhole,
            String fsType) {}

    public void unrecognizedCallback(String diskIdentifier, int diskType, String fsType,
            String deviceType, int isWritable, int isRemovable, int isWhole) {}

    public void UnknownFS_callback(String diskIdentifier, String fsType, String deviceType,
            int isWritable, int isRemovable, int isWhole) {}

    public void DiskWillbeChecked_callback(String diskIdentifier, int flags, String ioContent) {}

    public void CallFailed_callback(String diskIdentifier, int type, int error) {}

    public void CallSucceeded_callback(String diskIdentifier, int type) {}

    public void reserveCallback(String diskIdentifier, int status, int pid) {}

    public void DiskAppeared2_callback(String diskIdentifier, int flags, String mountpoint,
            String ioContent, String deviceTreePath, int sequenceNumber) {}

    public void UnmountPreNotification_callback(String diskIdentifier, int flags) {}

    public void DiskApprovedAck_callback(String diskIdentifier, int status) {}

    public void ClientDisconnected_callback() {}

    public void DiskChanged_callback(String diskIdentifier, String newMountpoint,
            String newVolumeName, int flags, int success) {}
}
