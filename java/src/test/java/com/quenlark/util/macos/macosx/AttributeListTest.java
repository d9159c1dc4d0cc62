package com.quenlark.util.macos.macosx;

import static com.quenlark.util.macos.macosx.AttributeList.*;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.quenlark.testsupport.ChildJvm;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Attribute-list requests and replies through the natives, parsed in the Mac reply layout. */
class AttributeListTest {
    private static final int EINVAL = 22;
    private static final int ENOENT = 2;

    private final MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();

    @TempDir
    Path dir;

    private StatStructure lstat(String path) {
        StatStructure st = new StatStructure();
        assertEquals(0, routines.lstat(path, st));
        return st;
    }

    @Test
    void aReplyParsedFieldByFieldMatchesLstat() throws Exception {
        Path p = dir.resolve("data.bin");
        Files.write(p, new byte[12345]);
        String f = p.toString();
        routines.utimes(f, 1_234_567_890, 5, 1_300_000_000, 7);
        int common = ATTR_CMN_NAME | ATTR_CMN_DEVID | ATTR_CMN_FSID | ATTR_CMN_OBJTYPE | ATTR_CMN_OBJID
                | ATTR_CMN_PAROBJID | ATTR_CMN_CRTIME | ATTR_CMN_MODTIME | ATTR_CMN_CHGTIME
                | ATTR_CMN_ACCTIME | ATTR_CMN_FNDRINFO | ATTR_CMN_OWNERID | ATTR_CMN_GRPID
                | ATTR_CMN_ACCESSMASK | ATTR_CMN_FLAGS | ATTR_CMN_USERACCESS;
        int file = ATTR_FILE_LINKCOUNT | ATTR_FILE_TOTALSIZE | ATTR_FILE_ALLOCSIZE | ATTR_FILE_IOBLOCKSIZE
                | ATTR_FILE_DATALENGTH | ATTR_FILE_DATAALLOCSIZE | ATTR_FILE_RSRCLENGTH;
        byte[] buf = new byte[512];
        assertEquals(0, routines.getattrlist(f, buf, common, 0, 0, file, 0, 0));
        StatStructure st = lstat(f);
        StatStructure parent = lstat(dir.toString());
        byte[] fs = new byte[StatfsRecord.SIZE];
        assertEquals(0, routines.statfs(f, fs));
        StatfsRecord volume = StatfsRecord.parse(fs, 0);

        Reader r = new Reader(buf);
        assertEquals("data.bin", r.nextReference());
        assertEquals(st.st_dev, r.nextInt());
        assertEquals(volume.fsid0, r.nextInt(), "file-system id as statfs gives it");
        assertEquals(volume.fsid1, r.nextInt());
        assertEquals(VREG, r.nextInt());
        assertEquals(st.st_ino, r.nextInt());
        r.nextInt(); // the inode's high half
        assertEquals(parent.st_ino, r.nextInt());
        r.nextInt();
        int[] created = r.nextTimespec();
        assertTrue(created[0] != 0, "a creation time");
        assertArrayEquals(new int[] {1_300_000_000, 7000}, r.nextTimespec());
        assertArrayEquals(new int[] {st.st_ctime, st.st_ctimensec}, r.nextTimespec());
        assertArrayEquals(new int[] {1_234_567_890, 5000}, r.nextTimespec());
        assertArrayEquals(new byte[FINDER_INFO_LENGTH], r.nextBytes(FINDER_INFO_LENGTH));
        assertEquals(st.st_uid, r.nextInt());
        assertEquals(st.st_gid, r.nextInt());
        assertEquals(st.st_mode & 07777, r.nextInt());
        assertEquals(st.st_flags, r.nextInt());
        assertEquals(4 | 2, r.nextInt(), "read and write, no execute for mode 0644");
        assertEquals(1, r.nextInt());
        assertEquals(12345L, r.nextLong());
        assertEquals(st.st_blocks * 512, r.nextLong());
        assertEquals(st.st_blksize, r.nextInt());
        assertEquals(12345L, r.nextLong());
        assertEquals(st.st_blocks * 512, r.nextLong());
        assertEquals(0L, r.nextLong(), "no resource fork");
        int end = 4 + 8 + 4 + 8 + 4 + 8 + 8 + 4 * 8 + 32 + 5 * 4 + 4 + 8 + 8 + 4 + 8 + 8 + 8;
        assertEquals(end + 12, r.length(), "the name's bytes after the fixed part");
    }

    @Test
    void finderInfoSetIsReadBack() throws Exception {
        String f = Files.writeString(dir.resolve("doc"), "x").toString();
        byte[] info = new byte[FINDER_INFO_LENGTH];
        byte[] typeCreator = "TEXTttxt".getBytes(java.nio.charset.StandardCharsets.US_ASCII);
        System.arraycopy(typeCreator, 0, info, 0, typeCreator.length);
        info[8] = 0x40; // the invisible bit of the Finder flags
        assertEquals(0, routines.setattrlist(f, info, ATTR_CMN_FNDRINFO, 0, 0, 0, 0, 0));

        byte[] buf = new byte[4 + FINDER_INFO_LENGTH];
        assertEquals(0, routines.getattrlist(f, buf, ATTR_CMN_FNDRINFO, 0, 0, 0, 0, 0));
        assertArrayEquals(info, Arrays.copyOfRange(buf, 4, 4 + FINDER_INFO_LENGTH));
    }

    @Test
    void setattrlistSetsOwnerModeAndTimesInBitOrder() throws Exception {
        String f = Files.writeString(dir.resolve("set"), "x").toString();
        ByteBuffer values = ByteBuffer.allocate(8 + 8 + 4 + 4 + 4).order(ByteOrder.nativeOrder());
        values.putInt(1_100_000_000).putInt(0); // modification time
        values.putInt(1_000_000_000).putInt(0); // access time
        values.putInt(-1).putInt(-1);           // owner, group: unchanged
        values.putInt(0600);
        int bits = ATTR_CMN_MODTIME | ATTR_CMN_ACCTIME | ATTR_CMN_OWNERID | ATTR_CMN_GRPID
                | ATTR_CMN_ACCESSMASK;
        assertEquals(0, routines.setattrlist(f, values.array(), bits, 0, 0, 0, 0, 0));
        StatStructure st = lstat(f);
        assertEquals(1_100_000_000, st.st_mtime);
        assertEquals(1_000_000_000, st.st_atime);
        assertEquals(0600, st.st_mode & 07777);
    }

    @Test
    void nanosecondsOutsideASecondAreRefusedAndChangeNothing() throws Exception {
        String f = Files.writeString(dir.resolve("badtime"), "x").toString();
        assertEquals(0, routines.utimes(f, 1000, 0, 2000, 0));
        int mode = lstat(f).st_mode;
        // Two of these are the markers Linux reads as "now" and "leave as is".
        for (int nanoseconds : new int[] {-1, 1_000_000_000, 0x3fffffff, 0x3ffffffe}) {
            ByteBuffer values = ByteBuffer.allocate(8 + 4).order(ByteOrder.nativeOrder());
            values.putInt(5000).putInt(nanoseconds).putInt(0600);
            assertEquals(EINVAL, routines.setattrlist(f, values.array(),
                    ATTR_CMN_MODTIME | ATTR_CMN_ACCESSMASK, 0, 0, 0, 0, 0), "ns " + nanoseconds);
            StatStructure st = lstat(f);
            assertEquals(2000, st.st_mtime, "ns " + nanoseconds);
            assertEquals(mode, st.st_mode, "nothing changes");
        }
    }

    @Test
    void setattrlistSetsOwnerGroupSetIdModeAndFlagsTogether() throws Exception {
        assumeTrue(ChildJvm.isRoot(), "needs root: owner change and the immutable flag");
        String f = Files.writeString(dir.resolve("owned"), "x").toString();
        assumeTrue(routines.chflags(f, 0) == 0, "needs a file system with inode flags under " + dir);
        ByteBuffer values = ByteBuffer.allocate(4 * 4).order(ByteOrder.nativeOrder());
        values.putInt(65534).putInt(65534).putInt(04750).putInt(BsdFlags.SF_IMMUTABLE | BsdFlags.UF_NODUMP);
        int bits = ATTR_CMN_OWNERID | ATTR_CMN_GRPID | ATTR_CMN_ACCESSMASK | ATTR_CMN_FLAGS;
        assertEquals(0, routines.setattrlist(f, values.array(), bits, 0, 0, 0, 0, 0));
        StatStructure st = lstat(f);
        assertEquals(0, routines.chflags(f, 0));
        assertEquals(65534, st.st_uid);
        assertEquals(65534, st.st_gid);
        assertEquals(04750, st.st_mode & 07777, "the set-id bit survives the owner change");
        assertEquals(BsdFlags.SF_IMMUTABLE | BsdFlags.UF_NODUMP, st.st_flags);
    }

    @Test
    void aBufferTooSmallHoldsWhatFits() throws Exception {
        String f = Files.writeString(dir.resolve("a-rather-long-file-name"), "x").toString();
        byte[] small = new byte[12];
        Arrays.fill(small, (byte) 0x55);
        assertEquals(0, routines.getattrlist(f, small, ATTR_CMN_NAME | ATTR_CMN_OBJTYPE, 0, 0, 0, 0, 0));
        Reader r = new Reader(small);
        assertEquals(12, r.length(), "the bytes returned");
        assertEquals(16 - 4, r.nextInt(), "the name's reference still points past the fixed part");

        byte[] full = new byte[12];
        assertEquals(0, routines.getattrlist(f, full, ATTR_CMN_NAME | ATTR_CMN_OBJTYPE, 0, 0, 0, 0,
                FSOPT_REPORT_FULLSIZE));
        assertEquals(4 + 8 + 4 + 24, new Reader(full).length(), "the bytes needed");
    }

    @Test
    void aBitOutsideTheTableAndAMissingFileGiveTheirErrorNumbers() throws Exception {
        String f = Files.writeString(dir.resolve("e"), "x").toString();
        byte[] buf = new byte[64];
        assertEquals(EINVAL, routines.getattrlist(f, buf, 0x00000100 /* ATTR_CMN_SCRIPT */, 0, 0, 0, 0, 0));
        assertEquals(EINVAL, routines.getattrlist(f, buf, 0, 0, 0, 0, 1 /* a fork attribute */, 0));
        assertEquals(EINVAL, routines.getattrlist(f, buf, 0, ATTR_VOL_SIZE, 0, 0, 0, 0),
                "volume attributes need ATTR_VOL_INFO");
        assertEquals(EINVAL, routines.setattrlist(f, buf, ATTR_CMN_NAME, 0, 0, 0, 0, 0));
        assertEquals(ENOENT, routines.getattrlist(dir.resolve("missing").toString(), buf,
                ATTR_CMN_NAME, 0, 0, 0, 0, 0));
    }

    @Test
    void volumeAttributesOfTheRootMatchStatfs() {
        int vol = ATTR_VOL_INFO | ATTR_VOL_SIZE | ATTR_VOL_SPACEAVAIL | ATTR_VOL_MOUNTPOINT
                | ATTR_VOL_MOUNTFLAGS | ATTR_VOL_MOUNTEDDEVICE;
        byte[] buf = new byte[512];
        assertEquals(0, routines.getattrlist("/", buf, 0, vol, 0, 0, 0, 0));
        byte[] fs = new byte[StatfsRecord.SIZE];
        assertEquals(0, routines.statfs("/", fs));
        StatfsRecord record = StatfsRecord.parse(fs, 0);
        Reader r = new Reader(buf);
        long size = r.nextLong();
        assertTrue(Math.abs(size - record.totalBytes()) < record.bsize, size + " vs " + record.totalBytes());
        r.nextLong();
        assertEquals("/", r.nextReference());
        assertEquals(record.flags, r.nextInt());
        assertEquals(record.mntfromname, r.nextReference());
    }
}
