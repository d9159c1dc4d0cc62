package com.quenlark.bench;

import static com.quenlark.util.macos.macosx.AttributeList.*;

import com.quenlark.util.macos.macosx.AttributeList;
import com.quenlark.util.macos.macosx.MacOSXNativeFileRoutines;
import com.quenlark.util.macos.macosx.StatfsRecord;
import java.nio.file.FileStore;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;

/**
 * getattrlist (common and file attributes) against Files.readAttributes(unix:*), and getfsstat
 * of every mount against the default file system's FileStores with their sizes.
 */
final class FileSystemBench implements Benchmark {
    // About what unix:* gives: device, inode, type, mode, owner, group, the three times,
    // links, size, allocation, block size, flags.
    private static final int COMMON = ATTR_CMN_DEVID | ATTR_CMN_OBJTYPE | ATTR_CMN_OBJID
            | ATTR_CMN_MODTIME | ATTR_CMN_CHGTIME | ATTR_CMN_ACCTIME | ATTR_CMN_OWNERID
            | ATTR_CMN_GRPID | ATTR_CMN_ACCESSMASK | ATTR_CMN_FLAGS;
    private static final int FILE = ATTR_FILE_LINKCOUNT | ATTR_FILE_TOTALSIZE | ATTR_FILE_ALLOCSIZE
            | ATTR_FILE_IOBLOCKSIZE;

    @Override
    public String name() {
        return "filesystem";
    }

    @Override
    public void run() throws Exception {
        String file = "/etc/passwd";
        Path path = Path.of(file);
        MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();
        byte[] reply = new byte[128];

        Harness.table("attributes of " + file + " (common + file): ns per call")
                .add("libQuintaver getattrlist", () -> {
                    routines.getattrlist(file, reply, COMMON, 0, 0, FILE, 0, FSOPT_NOFOLLOW);
                    Harness.sink += sumReply(reply);
                })
                .add("Files.readAttributes unix:*", () -> Harness.sink +=
                        Files.readAttributes(path, "unix:*", LinkOption.NOFOLLOW_LINKS).size())
                .add("C: stand-in getattrlist", calls -> FileSystemFloor.getattrlistLoop(file, COMMON, FILE, calls))
                .print();

        int mounts = routines.getfsstat(null, StatfsRecord.MNT_NOWAIT);
        byte[] table = new byte[(mounts + 8) * StatfsRecord.SIZE];
        Harness.table("every mount with its sizes (" + mounts + " mounts): ns per table")
                .add("libQuintaver getfsstat MNT_WAIT", () -> {
                    int n = routines.getfsstat(table, StatfsRecord.MNT_WAIT);
                    for (int i = 0; i < n; i++) {
                        Harness.sink += StatfsRecord.parse(table, i * StatfsRecord.SIZE).totalBytes();
                    }
                })
                .add("libQuintaver getfsstat MNT_NOWAIT", () -> {
                    int n = routines.getfsstat(table, StatfsRecord.MNT_NOWAIT);
                    for (int i = 0; i < n; i++) {
                        Harness.sink += StatfsRecord.parse(table, i * StatfsRecord.SIZE).totalBytes();
                    }
                })
                .add("FileStores + getTotal/Usable/Unallocated", () -> {
                    for (FileStore store : FileSystems.getDefault().getFileStores()) {
                        Harness.sink += store.getTotalSpace() + store.getUsableSpace()
                                + store.getUnallocatedSpace() + store.name().length();
                    }
                })
                .add("C: stand-in getfsstat MNT_WAIT", FileSystemFloor::getfsstatLoop)
                .print();
    }

    // Reads every fixed field back, as a caller would.
    private static long sumReply(byte[] reply) {
        AttributeList.Reader r = new AttributeList.Reader(reply);
        long sum = 0;
        for (int i = 0; i < 4; i++) {
            sum += r.nextInt(); // devid, objtype, objid (2)
        }
        for (int i = 0; i < 6; i++) {
            sum += r.nextInt(); // three times
        }
        for (int i = 0; i < 5; i++) {
            sum += r.nextInt(); // owner, group, mask, flags, links
        }
        return sum + r.nextLong() + r.nextLong() + r.nextInt();
    }
}
