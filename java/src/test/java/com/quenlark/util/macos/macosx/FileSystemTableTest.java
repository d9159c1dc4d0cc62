package com.quenlark.util.macos.macosx;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.quenlark.testsupport.ChildJvm;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** statfs records, the mount table and mounting through the natives. */
class FileSystemTableTest {
    private static final int SIZE = StatfsRecord.SIZE;
    private static final String TOO_SMALL = "statfs called with buffer too small\n";

    private final MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();

    @TempDir
    Path dir;

    @Test
    void statfsFillsTheFirst272BytesOnly() {
        byte[] buf = new byte[SIZE + 28];
        Arrays.fill(buf, (byte) 0x77);
        assertEquals(0, routines.statfs("/", buf));
        StatfsRecord r = StatfsRecord.parse(buf, 0);
        assertEquals("/", r.mntonname);
        assertFalse(r.fstypename.isEmpty());
        assertTrue(r.bsize > 0 && r.blocks > 0 && r.bavail <= r.blocks, r.bsize + " " + r.blocks);
        assertEquals(Path.of("/").toFile().getTotalSpace() / r.bsize, r.totalBytes() / r.bsize);
        assertTrue((r.flags & StatfsRecord.MNT_ROOTFS) != 0);
        for (int i = SIZE; i < buf.length; i++) {
            assertEquals(0x77, buf[i], "byte " + i);
        }
        assertEquals(0, routines.statfs("/", new byte[SIZE]));
    }

    @Test
    void statfsRefusesANullOrShortBufferAndReportsAMissingPath() throws Exception {
        ChildJvm.Result none = ChildJvm.run(FileRoutinesChild.class, "statfs", "/", "null");
        assertEquals("result=-1\n", none.output(), "nothing printed for a null buffer");
        ChildJvm.Result shortBuffer = ChildJvm.run(FileRoutinesChild.class, "statfs", "/", "271");
        assertEquals(TOO_SMALL + "result=-1\n", shortBuffer.output());

        byte[] buf = new byte[SIZE];
        assertEquals(2, routines.statfs(dir.resolve("missing").toString(), buf), "ENOENT");
        byte[] small = new byte[271];
        Arrays.fill(small, (byte) 3);
        assertEquals(-1, routines.statfs("/", small));
        for (byte b : small) {
            assertEquals(3, b);
        }
    }

    // The VM hands out no elements when it cannot copy the array: the native neither writes
    // through them nor mounts without the block it was given.
    @Test
    void arrayElementsTheVmCannotHandOutStopTheCall() throws Exception {
        ChildJvm.Result statfs = ChildJvm.run(FileRoutinesChild.class, "statfs-oom", "/");
        assertEquals("result=-1\n", statfs.output(), "refused, no crash");
        ChildJvm.Result getfsstat = ChildJvm.run(FileRoutinesChild.class, "getfsstat-oom");
        assertEquals("result=-1\n", getfsstat.output(), "no count for records never written");

        assumeTrue(ChildJvm.isRoot(), "needs root: mounting a tmpfs");
        String point = Files.createDirectory(dir.resolve("oom")).toString();
        ChildJvm.Result mount = ChildJvm.run(FileRoutinesChild.class, "mount-oom", point);
        boolean mounted = Files.readString(Path.of("/proc/self/mountinfo")).contains(" " + point + " ");
        if (mounted) {
            unmount(point);
        }
        assertEquals("result=12\n", mount.output(), "ENOMEM");
        assertFalse(mounted, "no mount without its block");
    }

    private List<StatfsRecord> records(byte[] buf, int count) {
        List<StatfsRecord> out = new ArrayList<>();
        for (int i = 0; i < count; i++) {
            out.add(StatfsRecord.parse(buf, i * SIZE));
        }
        return out;
    }

    @Test
    void getfsstatCountsFillsWholeRecordsAndLeavesTheTail() {
        int count = routines.getfsstat(null, StatfsRecord.MNT_NOWAIT);
        assertTrue(count > 0);
        byte[] all = new byte[(count + 2) * SIZE];
        assertEquals(count, routines.getfsstat(all, StatfsRecord.MNT_WAIT));
        assertTrue(records(all, count).stream().anyMatch(r -> r.mntonname.equals("/")));
        assumeTrue(count >= 2, "needs two mounted file systems");

        byte[] part = new byte[SIZE + SIZE / 2];
        Arrays.fill(part, (byte) 0x42);
        assertEquals(1, routines.getfsstat(part, StatfsRecord.MNT_NOWAIT));
        assertEquals(records(all, 1).get(0).mntonname, records(part, 1).get(0).mntonname);
        for (int i = SIZE; i < part.length; i++) {
            assertEquals(0x42, part[i], "byte " + i);
        }
        assertEquals(0, routines.getfsstat(new byte[SIZE - 1], StatfsRecord.MNT_WAIT));
    }

    @Test
    void aTmpfsMountedWithoutABlockShowsInTheTable() throws Exception {
        assumeTrue(ChildJvm.isRoot(), "needs root: mounting a tmpfs");
        String point = Files.createDirectory(dir.resolve("mnt")).toString();
        int flags = StatfsRecord.MNT_NOSUID | StatfsRecord.MNT_NODEV | StatfsRecord.MNT_NOEXEC
                | StatfsRecord.MNT_SYNCHRONOUS | StatfsRecord.MNT_NOATIME;
        assertEquals(0, routines.mount("tmpfs", point, flags, null));
        try {
            StatfsRecord mine = find(point);
            assertEquals("tmpfs", mine.fstypename);
            assertEquals("tmpfs", mine.mntfromname);
            assertEquals(flags, mine.flags & (flags | StatfsRecord.MNT_RDONLY));

            assertEquals(0, routines.mount("tmpfs", point, StatfsRecord.MNT_UPDATE | StatfsRecord.MNT_RDONLY,
                    StatfsRecord.mountArguments("", "size=2m")));
            mine = find(point);
            assertTrue((mine.flags & StatfsRecord.MNT_RDONLY) != 0, "remounted read-only");
            assertEquals(2L << 20, mine.totalBytes());
        } finally {
            unmount(point);
        }
    }

    @Test
    void aMountBlockCarriesTheSourceAndOptions() throws Exception {
        assumeTrue(ChildJvm.isRoot(), "needs root: mounting a tmpfs");
        String point = Files.createDirectory(dir.resolve("named mount")).toString();
        assertEquals(22, routines.mount("tmpfs", point, 0, new byte[] {'x'}), "EINVAL without its NULs");
        assertEquals(0, routines.mount("tmpfs", point, 0, StatfsRecord.mountArguments("scratch", "size=1m")));
        try {
            StatfsRecord mine = find(point);
            assertEquals("scratch", mine.mntfromname);
            assertEquals(1L << 20, mine.totalBytes());
        } finally {
            unmount(point);
        }
    }

    @Test
    void hugeCountsRaiseTheBlockSizeAndLongNamesAreCut() throws Exception {
        assumeTrue(ChildJvm.isRoot(), "needs root: mounting a tmpfs");
        // A tmpfs size is a limit, not an allocation: 20 TiB is 5 G blocks of 4 KiB.
        Path deep = dir.resolve("with space").resolve("d".repeat(100));
        String point = Files.createDirectories(deep).toString();
        assertEquals(0, routines.mount("tmpfs", point, 0, StatfsRecord.mountArguments("", "size=20t")));
        try {
            byte[] buf = new byte[SIZE];
            assertEquals(0, routines.statfs(point, buf));
            StatfsRecord r = StatfsRecord.parse(buf, 0);
            assertTrue(r.bsize > 4096, "block size raised: " + r.bsize);
            assertTrue(r.blocks > 0, "never wrapped: " + r.blocks);
            assertEquals(20L << 40, r.totalBytes());
            assertEquals(point.substring(0, 89), r.mntonname, "cut to fit with its NUL");
            assertEquals(0, buf[75 + 89]);
        } finally {
            unmount(point);
        }
    }

    @Test
    void aMountTheCallerMayNotMakeGivesAPositiveErrorNumber() throws Exception {
        assumeTrue(ChildJvm.isRoot(), "needs root: a child that drops to user 65534");
        Path point = Files.createDirectory(dir.resolve("denied"));
        Files.setPosixFilePermissions(dir, PosixFilePermissions.fromString("rwxr-xr-x"));
        ChildJvm.Result r = ChildJvm.run(FileRoutinesChild.class, "--as", "65534", "mount", point.toString());
        assertEquals("result=1\n", r.output(), "EPERM");
    }

    private StatfsRecord find(String point) {
        int count = routines.getfsstat(null, StatfsRecord.MNT_WAIT);
        byte[] all = new byte[count * SIZE];
        int written = routines.getfsstat(all, StatfsRecord.MNT_WAIT);
        StatfsRecord found = null;
        for (StatfsRecord r : records(all, written)) {
            if (r.mntonname.equals(point)) {
                found = r;
            }
        }
        assertTrue(found != null, point + " in the mount table");
        return found;
    }

    private static void unmount(String point) throws Exception {
        Process p = new ProcessBuilder("umount", point).redirectErrorStream(true).start();
        p.getInputStream().readAllBytes();
        assertEquals(0, p.waitFor(), "umount " + point);
    }
}
